// tovik-signal-tx: a stand-in for the Tovik application in receiver labs. It
// encodes a known signal exactly as Tovik does and sends it in real time
// through a transmitter session that broadcasts its announcement, so it runs
// only inside a network-lab host. Prints "PORT <n>" and "CODE <digits>".
//   tovik-signal-tx [--freq HZ] [--seconds S]
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "lab_guard.h"
#include "signal_tools.h"
#include "storage/paired_devices.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  SignalSpec signal;
  double seconds = 10;
  for (int k = 1; k + 1 < argc; k += 2) {
    const std::string name = argv[k], value = argv[k + 1];
    if (name == "--freq") signal.frequency_hz = std::stod(value);
    if (name == "--seconds") seconds = std::stod(value);
  }
  if (!inside_lab_host()) {
    std::fprintf(stderr, "refusing to announce beyond loopback outside a network lab host\n");
    return 2;
  }
  TransportConfig config;
  config.device_name = "Signal PC";
  config.device_id = "tovik-5167a1000000beef";
  // Like the application, remember the receivers that proved the code.
  for (const PairedDevice& device : load_paired_devices())
    config.remembered_receivers.push_back(device.id);
  auto session = std::move(SessionTransport::create(config).object);
  // Like the application's shell, approve every receiver.
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  session->set_paired_callback([](const std::string& id, const std::string& name) {
    add_paired_device({id, name, static_cast<std::int64_t>(std::time(nullptr))});
  });
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  if (session->start() != ErrorCode::Ok) return 1;
  std::printf("PORT %d\nCODE %s\n", session->audio_port(), session->pairing_code().c_str());
  std::fflush(stdout);
  SignalStreamer streamer(*session, signal);
  if (streamer.start() != ErrorCode::Ok) return 1;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (g_stop == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  streamer.stop();
  session->stop();
  return 0;
}
