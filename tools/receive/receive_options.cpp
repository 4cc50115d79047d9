#include "receive_options.h"

#include <cstdlib>

const char kReceiveUsage[] =
    "usage: tovik-receive [--to HOST[:PORT]] [--code DIGITS] [--name NAME] [--id ID]\n"
    "                     [--latency MS] [--out FILE.wav | --out -] [--format float|s16]\n"
    "                     [--alsa-device NAME] [--duration SECONDS]\n"
    "                     [--discovery-port PORT] [--quiet]\n"
    "\n"
    "Plays a Tovik stream. Without --to it waits for a transmitter's announcement\n"
    "on the LAN and greets the first one found; --to greets HOST (dotted IPv4) at\n"
    "PORT (19483) directly. --code is the six-digit pairing code the transmitter\n"
    "shows (without the space); without it, tovik-receive asks for the code when\n"
    "it runs in a terminal.\n"
    "\n"
    "  --latency MS   fix the jitter-buffer target (0 = as low as possible);\n"
    "                 by default it follows the measured jitter, 20..200 ms\n"
    "  --out FILE     write a WAV file (finalised on exit) instead of playing;\n"
    "                 '-' writes raw float32 48000 Hz stereo to stdout\n"
    "  --alsa-device NAME\n"
    "                 play on this ALSA device instead of the sound server\n"
    "                 (`aplay -L` lists them: plughw:1,0, sysdefault:CARD=...);\n"
    "                 without it, ALSA's \"default\" plays when no PulseAudio or\n"
    "                 PipeWire server answers (a headless board)\n"
    "  --format       WAV sample format: float (default) or s16\n"
    "  --duration S   stop after S seconds (default: run until SIGINT/SIGTERM)\n"
    "  --quiet        no status line on stderr\n"
    "\n"
    "Identity: tovik-receive draws a random id once and keeps it (folder\n"
#ifdef _WIN32
    "tovik-receive in %APPDATA%; --id overrides it). A\n"
#else
    "tovik-receive in $XDG_CONFIG_HOME or ~/.config; --id overrides it). A\n"
#endif
    "transmitter that accepted the code remembers that id and lets it in again\n"
    "without a code, also after either side restarts; tovik-receive remembers\n"
    "those transmitters and greets them without a code.\n"
    "\n"
    "Reconnection: when frames stop for 0.6 s (the transmitter dropped the link\n"
    "or restarted), a new HELLO goes to the same transmitter every second: once\n"
    "frames have flowed, without a code and with the configured code in turn;\n"
    "before that, with the configured code only.\n";

namespace {

bool parse_double(const std::string& text, double* out) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != '\0') return false;
  *out = value;
  return true;
}

bool parse_port(const std::string& text, std::uint16_t* out) {
  double value = 0;
  if (!parse_double(text, &value) || value < 0 || value > 65535 ||
      value != static_cast<int>(value)) {
    return false;
  }
  *out = static_cast<std::uint16_t>(value);
  return true;
}

bool valid_code(const std::string& code) {
  if (code.size() != 6) return false;
  for (char c : code) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool apply(const std::string& name, const std::string& value, ReceiveOptions* o) {
  double number = 0;
  if (name == "--to") {
    o->receiver.to = parse_transmitter_address(value);
    return o->receiver.to.has_value();
  }
  if (name == "--code") {
    o->receiver.code = value;
    return valid_code(value);
  }
  if (name == "--name")
    o->receiver.name = value;
  else if (name == "--id")
    o->receiver.id = value;
  else if (name == "--out")
    o->out = value;
  else if (name == "--alsa-device")
    o->alsa_device = value;
  else if (name == "--discovery-port")
    return parse_port(value, &o->receiver.discovery_port);
  else if (name == "--format") {
    o->format = value == "s16" ? WavSampleFormat::Pcm16 : WavSampleFormat::Float32;
    return value == "s16" || value == "float";
  } else if (name == "--latency") {
    if (!parse_double(value, &number) || number < 0 || number > 1000) return false;
    o->receiver.latency_ms = static_cast<int>(number);
  } else if (name == "--duration") {
    if (!parse_double(value, &number) || number < 0) return false;
    o->duration_s = number;
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> parse_typed_code(const std::string& text) {
  std::string code;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r') code += c;
  }
  if (code.empty() || valid_code(code)) return code;
  return std::nullopt;
}

std::optional<SocketAddress> parse_transmitter_address(const std::string& text) {
  SocketAddress address;
  address.port = 19483;
  std::string host = text;
  const std::size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    if (!parse_port(text.substr(colon + 1), &address.port) || address.port == 0) {
      return std::nullopt;
    }
    host = text.substr(0, colon);
  }
  if (host == "localhost") host = "127.0.0.1";
  std::optional<std::uint32_t> ip = parse_ipv4(host);
  if (!ip) return std::nullopt;
  address.ip = *ip;
  return address;
}

std::optional<ReceiveOptions> parse_receive_options(const std::vector<std::string>& args,
                                                    std::string* error) {
  ReceiveOptions options;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& name = args[k];
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--quiet") {
      options.quiet = true;
    } else if (k + 1 >= args.size()) {
      *error = "missing value for " + name;
      return std::nullopt;
    } else if (!apply(name, args[k + 1], &options)) {
      *error = "bad option " + name + " " + args[k + 1];
      return std::nullopt;
    } else {
      ++k;
    }
  }
  return options;
}
