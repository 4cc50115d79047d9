#pragma once

#include <memory>

#include "audio_sink.h"
#include "receive_options.h"

// The sink the options ask for: a WAV file or stdout (paced by the clock), or
// the platform's sound output; nullptr where the platform has none.
std::unique_ptr<AudioSink> make_sink(const ReceiveOptions& options);
