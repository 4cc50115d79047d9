#pragma once

#include <string>

#include "tray/qr_matrix.h"

// Writes `matrix` as an 8-bit greyscale PNG: each module `scale` pixels wide,
// with a light quiet zone of `quiet_modules` on every side. False on any
// failure to open or write the file.
bool write_qr_png(const QrMatrix& matrix, const std::string& path, int scale = 4,
                  int quiet_modules = 4);
