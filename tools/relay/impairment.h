#pragma once

#include <cstdint>

#include "relay_random.h"

// What happens to the datagrams of one direction. Percentages are 0..100.
struct Impairment {
  double drop_percent = 0;
  int delay_ms = 0;              // added to every copy
  int jitter_ms = 0;             // plus uniform 0..jitter_ms per copy (may reorder)
  double duplicate_percent = 0;  // a second copy with its own jitter
  double reorder_percent = 0;    // held back reorder_ms more, so later ones overtake
  int reorder_ms = 0;
};

// The fate of one datagram: how many copies leave, each after how long.
struct ImpairmentDecision {
  int copies = 0;  // 0 dropped, 1 forwarded, 2 duplicated
  int delay_ms[2] = {0, 0};
  bool dropped = false;
  bool duplicated = false;
  bool reordered = false;
};

// Draws the fate of each datagram from the impairment and the generator;
// the same seed gives the same sequence of decisions.
ImpairmentDecision decide_impairment(const Impairment& impairment, RelayRandom& random);

// Counts of one direction since start.
struct RelayCounts {
  std::uint64_t received = 0;
  std::uint64_t forwarded = 0;  // copies sent, duplicates included
  std::uint64_t dropped = 0;
  std::uint64_t duplicated = 0;
  std::uint64_t reordered = 0;
};

// Adds one decision to the counts (forwarded is counted when a copy is sent).
void count_decision(const ImpairmentDecision& decision, RelayCounts* counts);
