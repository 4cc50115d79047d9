#pragma once

#include <cstdint>

// A seeded generator whose sequence is the same on every platform, so an
// impaired run can be repeated exactly (the standard distributions are not
// portable across standard libraries).
class RelayRandom {
 public:
  explicit RelayRandom(std::uint64_t seed) : state_(seed) {}
  // The next 64 random bits (splitmix64).
  std::uint64_t next();
  // Uniform in [0, 1).
  double uniform();
  // True with the given probability in percent.
  bool chance(double percent) { return percent > 0 && uniform() * 100.0 < percent; }
  // Uniform integer in [0, bound]; 0 when bound <= 0.
  int up_to(int bound);

 private:
  std::uint64_t state_;
};
