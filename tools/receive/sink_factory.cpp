#include "sink_factory.h"

#include <cstdio>

#include "file_sinks.h"
#include "paced_sink.h"
#if defined(__linux__)
#include "platform/linux/playback_sink.h"
#elif defined(_WIN32)
#include "platform/win/wasapi_sink.h"
#endif

std::unique_ptr<AudioSink> make_sink(const ReceiveOptions& options) {
  if (options.out == "-") {
    return std::make_unique<PacedSink>(std::make_unique<RawStreamSink>(stdout, kSinkPeriodFrames));
  }
  if (!options.out.empty()) {
    return std::make_unique<PacedSink>(
        std::make_unique<WavFileSink>(options.out, options.format, kSinkPeriodFrames));
  }
#if defined(__linux__)
  return std::make_unique<PlaybackSink>(options.alsa_device, kSinkPeriodFrames);
#elif defined(_WIN32)
  return std::make_unique<WasapiSink>(kSinkPeriodFrames);
#else
  return nullptr;
#endif
}
