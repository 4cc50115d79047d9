#include "impairment.h"

ImpairmentDecision decide_impairment(const Impairment& impairment, RelayRandom& random) {
  ImpairmentDecision decision;
  // Every draw happens for every datagram so that one knob does not shift
  // the random sequence seen by the others.
  const bool drop = random.chance(impairment.drop_percent);
  const bool duplicate = random.chance(impairment.duplicate_percent);
  const bool reorder = random.chance(impairment.reorder_percent);
  const int jitter[2] = {random.up_to(impairment.jitter_ms), random.up_to(impairment.jitter_ms)};
  if (drop) {
    decision.dropped = true;
    return decision;
  }
  decision.copies = duplicate ? 2 : 1;
  decision.duplicated = duplicate;
  decision.reordered = reorder;
  for (int copy = 0; copy < decision.copies; ++copy) {
    decision.delay_ms[copy] = impairment.delay_ms + jitter[copy];
    if (reorder) decision.delay_ms[copy] += impairment.reorder_ms;
  }
  return decision;
}

void count_decision(const ImpairmentDecision& decision, RelayCounts* counts) {
  ++counts->received;
  if (decision.dropped) ++counts->dropped;
  if (decision.duplicated) ++counts->duplicated;
  if (decision.reordered) ++counts->reordered;
}
