// Bit stream and error correction of the QR encoder.
#include "tray/qr_encoder_detail.h"

namespace qr_detail {
namespace {

constexpr int kDataBits = kDataCodewords * 8;

std::uint32_t digit_group(std::string_view digits) {
  return 100u * static_cast<std::uint32_t>(digits[0] - '0') +
         10u * static_cast<std::uint32_t>(digits[1] - '0') +
         static_cast<std::uint32_t>(digits[2] - '0');
}

}  // namespace

bool is_six_digits(std::string_view code) {
  if (code.size() != 6) return false;
  for (char c : code) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void append_bits(std::uint32_t value, int count, std::vector<bool>& bits) {
  for (int i = count - 1; i >= 0; --i) bits.push_back(((value >> i) & 1u) != 0);
}

DataBlock data_codewords(std::string_view code) {
  std::vector<bool> bits;
  bits.reserve(kDataBits);
  append_bits(1, 4, bits);   // numeric mode
  append_bits(6, 10, bits);  // character count
  append_bits(digit_group(code.substr(0, 3)), 10, bits);
  append_bits(digit_group(code.substr(3, 3)), 10, bits);
  int terminator = kDataBits - static_cast<int>(bits.size());
  append_bits(0, terminator < 4 ? terminator : 4, bits);
  while (bits.size() % 8 != 0) bits.push_back(false);
  for (std::uint32_t pad = 0xEC; bits.size() < kDataBits; pad ^= 0xEC ^ 0x11) {
    append_bits(pad, 8, bits);
  }
  DataBlock out{};
  for (int i = 0; i < kDataBits; ++i) {
    if (bits[static_cast<std::size_t>(i)]) out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  return out;
}

std::uint8_t gf_multiply(std::uint8_t a, std::uint8_t b) {
  unsigned product = 0;
  for (int i = 7; i >= 0; --i) {  // shift and add, reducing by 0x11D
    product = (product << 1) ^ ((product >> 7) * 0x11Du);
    product ^= ((b >> i) & 1u) * a;
  }
  return static_cast<std::uint8_t>(product);
}

std::array<std::uint8_t, kEccCodewords + 1> rs_generator() {
  // Coefficients highest degree first; multiply in (x + 2^i) for i = 0..9.
  std::array<std::uint8_t, kEccCodewords + 1> g{};
  g[0] = 1;
  std::uint8_t root = 1;
  for (int degree = 1; degree <= kEccCodewords; ++degree) {
    for (int j = degree; j >= 1; --j) g[j] = g[j] ^ gf_multiply(g[j - 1], root);
    root = gf_multiply(root, 2);
  }
  return g;
}

EccBlock reed_solomon_remainder(const DataBlock& data) {
  const auto g = rs_generator();
  EccBlock r{};
  for (std::uint8_t d : data) {
    std::uint8_t factor = d ^ r[0];
    for (int j = 0; j + 1 < kEccCodewords; ++j) r[j] = r[j + 1];
    r[kEccCodewords - 1] = 0;
    for (int j = 0; j < kEccCodewords; ++j) r[j] ^= gf_multiply(g[j + 1], factor);
  }
  return r;
}

Message build_message(const DataBlock& data) {
  Message message{};
  EccBlock ecc = reed_solomon_remainder(data);
  for (int i = 0; i < kDataCodewords; ++i) message[i] = data[i];
  for (int i = 0; i < kEccCodewords; ++i) message[kDataCodewords + i] = ecc[i];
  return message;
}

}  // namespace qr_detail
