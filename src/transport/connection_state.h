#pragma once

#include <cstdint>

namespace tovik {

// State of a session. The transmitter role uses Disconnected, Searching,
// ApprovalPending and Connected; the receiver role also uses Connecting.
enum class ConnectionState : std::int32_t {
  Disconnected = 0,
  Searching = 1,
  Connecting = 2,
  ApprovalPending = 3,
  Connected = 4,
  Reconnecting = 5,
};

}  // namespace tovik
