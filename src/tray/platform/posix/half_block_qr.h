#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tray/qr_matrix.h"
#include "tray/qr_panel.h"

// The symbol a QR panel layout paints, recovered from its dark modules, so a
// text host shows exactly what the graphical panel would; nullopt when the
// layout has no symbol.
std::optional<QrMatrix> qr_matrix_from_layout(const QrPanelLayout& layout);

// `matrix` drawn with Unicode half blocks, two module rows per line, inside a
// light quiet zone of `quiet_modules`. Light modules are the ink (U+2588,
// U+2580, U+2584) and dark ones are blank, so the symbol reads correctly in
// light text on a dark background (or with those colours forced).
std::vector<std::string> half_block_lines(const QrMatrix& matrix, int quiet_modules = 4);
