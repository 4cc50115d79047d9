// Masks, format information and mask choice of the QR encoder.
#include <limits>

#include "tray/qr_encoder_detail.h"

namespace qr_detail {
namespace {

// Level M format words for masks 0 to 7, BCH-coded and XOR-masked.
constexpr std::uint16_t kFormatWords[kMaskCount] = {0x5412, 0x5125, 0x5E7C, 0x5B4B,
                                                    0x45F9, 0x40CE, 0x4F97, 0x4AA0};

struct Cell {
  int row;
  int col;
};

Cell first_copy_cell(int n) {
  if (n <= 5) return {8, n};
  if (n == 6) return {8, 7};
  if (n == 7) return {8, 8};
  if (n == 8) return {7, 8};
  return {14 - n, 8};
}

Cell second_copy_cell(int n) {
  if (n <= 6) return {20 - n, 8};
  return {8, n + 6};
}

// Rule 1 along one line: a maximal run of five or more adds its length - 2.
int run_penalty(const QrMatrix& m, bool by_row, int line) {
  int score = 0;
  int run = 0;
  bool colour = false;
  for (int i = 0; i < kQrSize; ++i) {
    bool here = by_row ? m[line][i] : m[i][line];
    run = (i > 0 && here == colour) ? run + 1 : 1;
    colour = here;
    bool run_ends = i == kQrSize - 1 || (by_row ? m[line][i + 1] : m[i + 1][line]) != here;
    if (run_ends && run >= 5) score += run - 2;
  }
  return score;
}

}  // namespace

bool mask_condition(int mask, int row, int col) {
  const int i = row;
  const int j = col;
  switch (mask) {
    case 0:
      return (i + j) % 2 == 0;
    case 1:
      return i % 2 == 0;
    case 2:
      return j % 3 == 0;
    case 3:
      return (i + j) % 3 == 0;
    case 4:
      return (i / 2 + j / 3) % 2 == 0;
    case 5:
      return (i * j) % 2 + (i * j) % 3 == 0;
    case 6:
      return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    case 7:
      return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
    default:
      return false;
  }
}

void apply_mask(int mask, QrCanvas& canvas) {
  for (int row = 0; row < kQrSize; ++row) {
    for (int col = 0; col < kQrSize; ++col) {
      if (!canvas.reserved[row][col] && mask_condition(mask, row, col)) {
        canvas.modules[row][col] = !canvas.modules[row][col];
      }
    }
  }
}

std::uint16_t format_bits(int mask) { return kFormatWords[mask & 7]; }

void draw_format_bits(std::uint16_t word, QrMatrix& modules) {
  for (int n = 0; n < 15; ++n) {
    bool dark = ((word >> (14 - n)) & 1) != 0;
    Cell a = first_copy_cell(n);
    Cell b = second_copy_cell(n);
    modules[a.row][a.col] = dark;
    modules[b.row][b.col] = dark;
  }
}

std::uint16_t read_format_bits(const QrMatrix& modules, int copy) {
  std::uint16_t word = 0;
  for (int n = 0; n < 15; ++n) {
    Cell c = copy == 1 ? first_copy_cell(n) : second_copy_cell(n);
    word = static_cast<std::uint16_t>((word << 1) | (modules[c.row][c.col] ? 1 : 0));
  }
  return word;
}

int penalty_score(const QrMatrix& modules) {
  int score = 0;
  for (int line = 0; line < kQrSize; ++line) {
    score += run_penalty(modules, true, line) + run_penalty(modules, false, line);
  }
  for (int row = 0; row + 1 < kQrSize; ++row) {
    for (int col = 0; col + 1 < kQrSize; ++col) {
      bool c = modules[row][col];
      if (modules[row][col + 1] == c && modules[row + 1][col] == c &&
          modules[row + 1][col + 1] == c) {
        score += 3;
      }
    }
  }
  return score;
}

QrMatrix masked_candidate(const QrCanvas& base, int mask) {
  QrCanvas copy = base;
  apply_mask(mask, copy);
  draw_format_bits(format_bits(mask), copy.modules);
  return copy.modules;
}

std::array<int, kMaskCount> mask_scores(const QrCanvas& base) {
  std::array<int, kMaskCount> scores{};
  for (int k = 0; k < kMaskCount; ++k) scores[k] = penalty_score(masked_candidate(base, k));
  return scores;
}

int lowest_score_index(const std::array<int, kMaskCount>& scores) {
  int best = 0;
  int best_score = std::numeric_limits<int>::max();
  for (int k = 0; k < kMaskCount; ++k) {
    if (scores[k] < best_score) {  // strictly lower: ties keep the earlier mask
      best_score = scores[k];
      best = k;
    }
  }
  return best;
}

}  // namespace qr_detail
