#pragma once

#include <string>

#include "receive_stats.h"
#include "transport/connection_state.h"

// The one-line live status: frames, lost, concealed, late, buffer, RTT.
std::string format_status(const ReceiveStats& stats, int rtt_ms, tovik::ConnectionState state);
