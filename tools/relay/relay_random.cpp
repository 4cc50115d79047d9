#include "relay_random.h"

std::uint64_t RelayRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double RelayRandom::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

int RelayRandom::up_to(int bound) {
  if (bound <= 0) return 0;
  return static_cast<int>(next() % (static_cast<std::uint64_t>(bound) + 1));
}
