// The engine of the capture-device rig: the product's StreamManager, but fed
// from the default capture device instead of the output's loopback. Wine
// refuses WASAPI loopback, while its default capture device can be the
// monitor of a PulseAudio null sink, so under wine this rig lets the whole
// program stream real sound. Only test builds link this file.
#include "app/main/engine_factory.h"
#include "engine/audio_endpoint.h"
#include "engine/stream_manager.h"

Created<StreamEngine> create_stream_engine(const StreamConfig& config) {
  StreamManagerOptions options;
  options.endpoint = make_system_audio_endpoint(EndpointMode::CaptureDeviceForTests);
  return created_as<StreamEngine>(StreamManager::create(config, std::move(options)));
}
