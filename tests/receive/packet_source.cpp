#include "packet_source.h"

#include <cstring>

namespace test {

PacketSource::PacketSource(int distinct) {
  ReferenceEncoder encoder;
  encoder.init();
  SignalSpec tone;
  std::vector<float> pcm(960 * 2);
  std::uint8_t packet[1500];
  for (int k = 0; k < distinct; ++k) {
    fill_signal(tone, static_cast<std::int64_t>(k) * 960, pcm.data(), 960);
    const int size = encoder.encode(pcm.data(), packet, sizeof packet);
    packets_.emplace_back(packet, packet + (size > 0 ? size : 0));
  }
}

QueuedFrame PacketSource::frame(std::uint32_t sequence, std::int64_t arrival_ns) const {
  QueuedFrame frame;
  const auto& packet = packets_[sequence % packets_.size()];
  frame.sequence = sequence;
  frame.arrival_ns = arrival_ns;
  frame.size = static_cast<std::uint16_t>(packet.size());
  std::memcpy(frame.payload, packet.data(), packet.size());
  return frame;
}

}  // namespace test
