#pragma once
// The signal tools share one header; this name is the one benchmarks include.
#include "signal_tools.h"
