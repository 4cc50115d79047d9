#pragma once

// The steps of QrEncoder::encode, visible so that tests can check each one
// against hand-computed values. Not for use outside the tray module.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tray/qr_matrix.h"

namespace qr_detail {

constexpr int kDataCodewords = 16;
constexpr int kEccCodewords = 10;
constexpr int kMaskCount = 8;

using DataBlock = std::array<std::uint8_t, kDataCodewords>;
using EccBlock = std::array<std::uint8_t, kEccCodewords>;
using Message = std::array<std::uint8_t, kDataCodewords + kEccCodewords>;

// True when `code` is exactly six bytes, each '0' to '9'.
bool is_six_digits(std::string_view code);

// Appends the low `count` bits of `value` to `bits`, most significant first.
void append_bits(std::uint32_t value, int count, std::vector<bool>& bits);

// The 16 data codewords (mode, count, two digit groups, terminator, pads) of
// a code that passed is_six_digits.
DataBlock data_codewords(std::string_view code);

// Product in GF(256) reduced by x^8 + x^4 + x^3 + x^2 + 1.
std::uint8_t gf_multiply(std::uint8_t a, std::uint8_t b);

// Coefficients of the degree-10 generator, x^10 first (leading 1 included).
std::array<std::uint8_t, kEccCodewords + 1> rs_generator();

// The 10 error-correction codewords of a data block, highest coefficient first.
EccBlock reed_solomon_remainder(const DataBlock& data);

// Data codewords followed by their error-correction codewords.
Message build_message(const DataBlock& data);

// The matrices of a symbol under construction: module colours and the
// function-module mask that data placement and masking skip.
struct QrCanvas {
  QrMatrix modules{};
  QrMatrix reserved{};
};

// Finders with separators, timing patterns, dark module, format areas.
void draw_function_patterns(QrCanvas& canvas);

// Writes the 208 message bits along the two-column zigzag walk.
void place_data(const Message& message, QrCanvas& canvas);

// The function patterns and the unmasked data of a message.
QrCanvas build_base(const Message& message);

// Whether mask `mask` (0 to 7) toggles the module at (row, col).
bool mask_condition(int mask, int row, int col);

// Toggles every non-reserved module selected by mask `mask`.
void apply_mask(int mask, QrCanvas& canvas);

// The 15-bit format word of level M with mask `mask` (0 to 7).
std::uint16_t format_bits(int mask);

// Writes both copies of a 15-bit format word.
void draw_format_bits(std::uint16_t word, QrMatrix& modules);

// Reads the first (1) or second (2) copy of the format word back.
std::uint16_t read_format_bits(const QrMatrix& modules, int copy);

// Rule 1 (runs of five or more) plus rule 2 (2x2 blocks) of the standard.
int penalty_score(const QrMatrix& modules);

// The finished candidate for one mask: masked base plus format bits.
QrMatrix masked_candidate(const QrCanvas& base, int mask);

// Penalty of every mask's candidate, in mask order.
std::array<int, kMaskCount> mask_scores(const QrCanvas& base);

// The index of the lowest score; ties go to the lowest index.
int lowest_score_index(const std::array<int, kMaskCount>& scores);

}  // namespace qr_detail
