#include "audio_sink.h"

#include <vector>

#include "audio_format.h"
#include "transport/steady_clock.h"

bool AudioSink::run(const std::atomic<bool>& running, const RenderFunction& render) {
  const int frames = period_frames();
  std::vector<float> period(static_cast<std::size_t>(frames) * kChannels, 0.0f);
  while (running) {
    render(period.data(), frames, next_play_ns(system_steady_clock().now_ns()));
    if (!write(period.data(), frames)) return false;
  }
  return true;
}
