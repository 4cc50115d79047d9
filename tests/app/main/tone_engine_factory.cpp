// The engine of the tone rig: the product's StreamManager, fed by a fake
// device that plays a 440 Hz tone (amplitude 0.5) in real time instead of the
// output's loopback, which wine 8 cannot open. Only test builds link it.
#include <cmath>

#include "app/main/engine_factory.h"
#include "engine/fake/fake_audio_endpoint.h"
#include "engine/stream_manager.h"

namespace {

constexpr double kStep = 2 * 3.14159265358979323846 * 440 / 48000;

}  // namespace

Created<StreamEngine> create_stream_engine(const StreamConfig& config) {
  auto endpoint = std::make_unique<FakeAudioEndpoint>();
  endpoint->play_real_time(480,
                           [phase = 0.0](float* out, std::uint32_t frames, int channels) mutable {
                             for (std::uint32_t i = 0; i < frames; ++i, phase += kStep) {
                               for (int c = 0; c < channels; ++c)
                                 out[i * channels + c] = 0.5f * std::sin(phase);
                             }
                           });
  StreamManagerOptions options;
  options.endpoint = std::move(endpoint);
  return created_as<StreamEngine>(StreamManager::create(config, std::move(options)));
}
