// Runs one session role with the product's ports for the network lab tests:
//   session_probe transmit <seconds>          prints "CODE <digits>", sends a
//                                              synthetic 3-byte frame every 20 ms
//                                              while connected
//   session_probe receive <seconds> <code>    pairs through the announcement
// Both print "STATE <n> <detail>" for each report and a summary at the end.
// They run only inside a lab host: the transmitter broadcasts.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "lab_guard.h"
#include "transport/session_transport.h"

namespace {

using Clock = std::chrono::steady_clock;

void print_state(tovik::ConnectionState state, const std::string& detail) {
  std::printf("STATE %d %s\n", static_cast<int>(state), detail.c_str());
  std::fflush(stdout);
}

int transmit(int seconds) {
  TransportConfig config;
  config.device_name = "Lab PC";
  config.device_id = "tovik-1abcdef000000001";
  auto session = std::move(SessionTransport::create(config).object);
  session->set_state_callback(print_state);
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  std::printf("CODE %s\n", session->pairing_code().c_str());
  std::fflush(stdout);
  if (session->start() != ErrorCode::Ok) return 1;
  const std::uint8_t payload[] = {0xAA, 0xBB, 0xCC};
  AudioFrameHeader header;
  int sent = 0;
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  for (auto next = Clock::now(); next < end; next += std::chrono::milliseconds(20)) {
    if (session->send_audio_frame(header, payload, sizeof payload) == ErrorCode::Ok) ++sent;
    ++header.sequence;
    header.timestamp += 960;
    std::this_thread::sleep_until(next);
  }
  const int rtt = session->rtt_ms();
  session->stop();
  std::printf("SENT %d\nRTT %d\n", sent, rtt);
  return 0;
}

int receive(int seconds, const char* code) {
  TransportConfig config;
  config.device_name = "Lab Receiver";
  config.device_id = "rx-lab";
  config.is_transmitter = false;
  auto session = std::move(SessionTransport::create(config).object);
  std::atomic<int> frames{0};
  std::atomic<std::uint32_t> last{0};
  session->set_state_callback(print_state);
  session->set_code_to_present(code);
  session->set_frame_callback([&](const AudioFrameHeader& h, const unsigned char*, std::size_t n) {
    if (n == 3) {
      ++frames;
      last = h.sequence;
    }
  });
  if (session->start() != ErrorCode::Ok) return 1;
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  session->stop();
  std::printf("FRAMES %d\nLAST %u\nRTT %d\n", frames.load(), last.load(), session->rtt_ms());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!inside_lab_host()) {
    std::fprintf(stderr, "refusing to run outside a network lab host\n");
    return 2;
  }
  const std::string mode = argc > 2 ? argv[1] : "";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
  if (mode == "transmit" && argc == 3) return transmit(seconds);
  if (mode == "receive" && argc == 4) return receive(seconds, argv[3]);
  std::fprintf(stderr, "usage: session_probe transmit <s> | receive <s> <code>\n");
  return 2;
}
