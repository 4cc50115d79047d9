#pragma once

#include <cstddef>
#include <cstdint>

#include "app/error_code.h"
#include "transport/connection_state.h"
#include "transport/packet_codec.h"

// Where the streaming loop hands its encoded frames: the session transport in
// the program, a recorder in tests.
class FrameSink {
 public:
  virtual ~FrameSink() = default;

  // The session's current state; frames are produced only while Connected.
  virtual tovik::ConnectionState state() const = 0;

  // Sends one frame (header + Opus packet) to the peer. ConnectionLost when
  // there is no peer or the datagram could not be sent; the caller drops it.
  virtual ErrorCode send_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                                     std::size_t size) = 0;
};
