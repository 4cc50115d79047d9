#pragma once

#include <optional>
#include <string_view>

#include "tray/qr_matrix.h"

// Encodes a six-digit pairing code as a version 1-M QR symbol (one numeric
// segment). Pure computation, no shared state.
class QrEncoder {
 public:
  // The symbol for `code`, or nullopt unless `code` is exactly six ASCII
  // digits: anything else is rejected rather than encoded as garbage.
  static std::optional<QrMatrix> encode(std::string_view code);
};
