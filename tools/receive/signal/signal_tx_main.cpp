// tovik-signal-tx: a stand-in for the Tovik application in receiver tests. It
// encodes a known signal exactly as Tovik does and sends it in real time
// through a transmitter-role SessionTransport; prints "PORT <n>" and
// "CODE <digits>". Without --announce-to it broadcasts, so it then runs only
// inside a network-lab host.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "lab_guard.h"
#include "signal_streamer.h"
#include "storage/paired_devices.h"
#include "test_signal.h"
#include "transport/session_transport.h"
#include "wav_writer.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

struct TxOptions {
  SignalSpec signal;
  double seconds = 10;
  std::uint16_t audio_port = 19483;
  std::string announce_to;  // IP:PORT, or empty for the broadcast
  std::string reference;
  std::string name = "Signal PC";
  std::string id = "tovik-5167a1000000beef";
};

bool parse(int argc, char** argv, TxOptions* o) {
  for (int k = 1; k + 1 < argc; k += 2) {
    const std::string name = argv[k], value = argv[k + 1];
    if (name == "--signal")
      o->signal.kind = value == "sweep" ? SignalSpec::Kind::Sweep : SignalSpec::Kind::Tone;
    else if (name == "--freq")
      o->signal.frequency_hz = std::stod(value);
    else if (name == "--seconds")
      o->seconds = std::stod(value);
    else if (name == "--audio-port")
      o->audio_port = static_cast<std::uint16_t>(std::stoi(value));
    else if (name == "--announce-to")
      o->announce_to = value;
    else if (name == "--reference")
      o->reference = value;
    else if (name == "--name")
      o->name = value;
    else if (name == "--id")
      o->id = value;
    else
      return false;
  }
  return argc % 2 == 1;
}

TransportConfig transport_config(const TxOptions& o, bool* lab_needed) {
  TransportConfig config;
  config.device_name = o.name;
  config.device_id = o.id;
  config.audio_port = o.audio_port;
  // Like the application, remember the receivers that proved the code.
  for (const PairedDevice& device : load_paired_devices()) {
    config.remembered_receivers.push_back(device.id);
  }
  *lab_needed = true;
  if (!o.announce_to.empty()) {
    const std::size_t colon = o.announce_to.rfind(':');
    auto ip = parse_ipv4(o.announce_to.substr(0, colon));
    config.discovery.broadcast_ip = ip.value_or(kIpv4Broadcast);
    config.discovery.port = static_cast<std::uint16_t>(std::stoi(o.announce_to.substr(colon + 1)));
    *lab_needed = config.discovery.broadcast_ip != kIpv4Loopback;
  }
  return config;
}

}  // namespace

int main(int argc, char** argv) {
  TxOptions options;
  if (!parse(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: tovik-signal-tx [--signal tone|sweep] [--freq HZ] [--seconds S]\n"
                 "       [--audio-port P] [--announce-to IP:PORT] [--reference FILE.wav]\n");
    return 2;
  }
  bool lab_needed = true;
  TransportConfig config = transport_config(options, &lab_needed);
  if (lab_needed && !inside_lab_host()) {
    std::fprintf(stderr, "refusing to announce beyond loopback outside a network lab host\n");
    return 2;
  }
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  auto session = std::move(SessionTransport::create(config).object);
  // Like the application's shell, approve every receiver.
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  session->set_paired_callback([](const std::string& id, const std::string& name) {
    add_paired_device({id, name, static_cast<std::int64_t>(std::time(nullptr))});
  });
  if (session->start() != ErrorCode::Ok) return 1;
  std::printf("PORT %d\nCODE %s\n", session->audio_port(), session->pairing_code().c_str());
  std::fflush(stdout);
  SignalStreamer streamer(*session, options.signal);
  if (streamer.start() != ErrorCode::Ok) return 1;
  const auto end =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
  while (g_stop == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  streamer.stop();
  session->stop();
  const std::vector<float>& reference = streamer.produced();
  if (!options.reference.empty()) {
    WavWriter wav;
    wav.open(options.reference, WavSampleFormat::Float32, 2, 48000);
    wav.write(reference.data(), static_cast<int>(reference.size() / 2));
  }
  std::printf("DONE %u\n", streamer.frames_sent());
  return 0;
}
