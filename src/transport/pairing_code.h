#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Six ASCII digits, each made uniform over 0..9 from 32-bit random words by
// the multiply-and-reject method (a product whose low word is below 6 is
// redrawn). A leading zero is allowed.
std::string draw_pairing_code(const std::function<std::uint32_t()>& next_word);

// The same from the system's non-deterministic random source.
std::string draw_pairing_code();
