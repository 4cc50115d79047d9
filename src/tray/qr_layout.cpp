// Function patterns and data placement of the QR encoder.
#include "tray/qr_encoder_detail.h"

namespace qr_detail {
namespace {

void set_function(QrCanvas& canvas, int row, int col, bool dark) {
  canvas.modules[row][col] = dark;
  canvas.reserved[row][col] = true;
}

void draw_finder(QrCanvas& canvas, int top, int left) {
  for (int dy = -1; dy <= 7; ++dy) {
    for (int dx = -1; dx <= 7; ++dx) {
      int row = top + dy;
      int col = left + dx;
      if (row < 0 || row >= kQrSize || col < 0 || col >= kQrSize) continue;
      bool inside = dy >= 0 && dy <= 6 && dx >= 0 && dx <= 6;
      bool ring = dy == 0 || dy == 6 || dx == 0 || dx == 6;
      bool core = dy >= 2 && dy <= 4 && dx >= 2 && dx <= 4;
      set_function(canvas, row, col, inside && (ring || core));
    }
  }
}

void reserve_format_areas(QrCanvas& canvas) {
  for (int i = 0; i <= 8; ++i) {
    canvas.reserved[8][i] = true;
    canvas.reserved[i][8] = true;
  }
  for (int i = 13; i <= 20; ++i) {
    canvas.reserved[8][i] = true;
    canvas.reserved[i][8] = true;
  }
}

bool message_bit(const Message& message, int index) {
  return ((message[static_cast<std::size_t>(index / 8)] >> (7 - index % 8)) & 1) != 0;
}

}  // namespace

void draw_function_patterns(QrCanvas& canvas) {
  draw_finder(canvas, 0, 0);
  draw_finder(canvas, 0, 14);
  draw_finder(canvas, 14, 0);
  for (int i = 8; i <= 12; ++i) {
    set_function(canvas, 6, i, i % 2 == 0);
    set_function(canvas, i, 6, i % 2 == 0);
  }
  set_function(canvas, 13, 8, true);
  reserve_format_areas(canvas);
}

void place_data(const Message& message, QrCanvas& canvas) {
  const int total_bits = static_cast<int>(message.size()) * 8;
  int next = 0;
  for (int right = kQrSize - 1; right >= 1; right -= 2) {
    if (right == 6) right = 5;  // skip the vertical timing column
    bool upward = ((kQrSize - 1 - right) / 2) % 2 == 0;
    for (int step = 0; step < kQrSize; ++step) {
      int row = upward ? kQrSize - 1 - step : step;
      for (int col = right; col >= right - 1; --col) {
        if (canvas.reserved[row][col] || next >= total_bits) continue;
        canvas.modules[row][col] = message_bit(message, next++);
      }
    }
  }
}

QrCanvas build_base(const Message& message) {
  QrCanvas canvas;
  draw_function_patterns(canvas);
  place_data(message, canvas);
  return canvas;
}

}  // namespace qr_detail
