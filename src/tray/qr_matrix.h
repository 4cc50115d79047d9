#pragma once

#include <array>

// A version 1 QR symbol: 21 rows of 21 modules, [row][column], row 0 at the
// top, column 0 at the left; true is a dark module.
constexpr int kQrSize = 21;
using QrMatrix = std::array<std::array<bool, kQrSize>, kQrSize>;
