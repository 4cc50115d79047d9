#include "transport/pairing_code.h"

#include <random>

std::string draw_pairing_code(const std::function<std::uint32_t()>& next_word) {
  // 2^32 mod 10 = 6: rejecting low words below 6 leaves every digit with the
  // same number of words, so the digits are exactly uniform.
  constexpr std::uint32_t kRejectBelow = 6;
  std::string code;
  while (code.size() < 6) {
    std::uint64_t product = std::uint64_t{next_word()} * 10u;
    if (static_cast<std::uint32_t>(product) < kRejectBelow) continue;
    code += static_cast<char>('0' + (product >> 32));
  }
  return code;
}

std::string draw_pairing_code() {
  std::random_device device;
  return draw_pairing_code([&device] { return static_cast<std::uint32_t>(device()); });
}
