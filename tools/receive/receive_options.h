#pragma once

#include <optional>
#include <string>
#include <vector>

#include "receiver.h"
#include "wav_writer.h"

struct ReceiveOptions {
  ReceiverConfig receiver;
  std::string out;  // empty: sound card; "-": raw float to stdout; else a WAV file
  WavSampleFormat format = WavSampleFormat::Float32;
  std::string alsa_device;  // empty: the sound server, else ALSA's "default"
  double duration_s = 0;    // 0: until SIGINT/SIGTERM
  bool quiet = false;
  bool help = false;
};

// The options from the command line (without argv[0]); nothing and a message
// in *error when they are wrong.
std::optional<ReceiveOptions> parse_receive_options(const std::vector<std::string>& args,
                                                    std::string* error);

// "HOST[:PORT]" with a dotted IPv4 host (or "localhost"); port 19483 by default.
std::optional<SocketAddress> parse_transmitter_address(const std::string& text);

// A pairing code as a user types it ("123 456" as the tray shows it, or
// "123456"): its six digits, empty for an empty answer, nothing otherwise.
std::optional<std::string> parse_typed_code(const std::string& text);

extern const char kReceiveUsage[];
