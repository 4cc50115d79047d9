#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/error_code.h"
#include "transport/session_transport.h"

struct OpusEncoder;

// A steady tone (48000 Hz, both channels): the known signal the receiver's
// output is judged against.
struct SignalSpec {
  double frequency_hz = 1000;
  double amplitude = 0.5;
};

// Frames of interleaved stereo (both channels the same, 48000 Hz) from sample first.
void fill_signal(const SignalSpec& spec, std::int64_t first, float* out, int frames);

// An Opus encoder set up as the transmitter's: 48000 Hz stereo, 20 ms frames,
// 128 kbit/s, OPUS_APPLICATION_AUDIO, signal music, complexity 5.
class ReferenceEncoder {
 public:
  static constexpr int kBitrate = 128000;
  ReferenceEncoder() = default;
  ~ReferenceEncoder();
  ReferenceEncoder(const ReferenceEncoder&) = delete;
  ReferenceEncoder& operator=(const ReferenceEncoder&) = delete;
  ErrorCode init();
  // Encodes 960 frames of interleaved stereo; the packet size, or -1.
  int encode(const float* pcm, std::uint8_t* packet, std::size_t capacity);

 private:
  OpusEncoder* encoder_ = nullptr;
};

// A stand-in for the application's streaming thread: every 20 ms of real time
// it encodes the next 960 samples of a known signal as the application does
// and hands the packet to send_audio_frame with the header it would fill.
class SignalStreamer {
 public:
  // Called with each frame's first sample index before it is encoded; it may
  // overwrite the samples (benchmarks mark one).
  using FrameHook = std::function<void(std::int64_t first_sample, float* pcm)>;

  SignalStreamer(SessionTransport& session, const SignalSpec& signal)
      : session_(session), signal_(signal) {}
  ~SignalStreamer() { stop(); }
  void set_frame_hook(FrameHook hook) { hook_ = std::move(hook); }
  // Starts the real-time thread; CodecError when the encoder cannot be made.
  ErrorCode start();
  void stop();

 private:
  void run();

  SessionTransport& session_;
  SignalSpec signal_;
  FrameHook hook_;
  ReferenceEncoder encoder_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

// The left channel of a float WAV file as WavWriter writes it; empty when unreadable.
std::vector<float> read_float_wav_left(const std::string& path);

// How closely a received tone matches a pure one, block by block (100 ms):
// each block is fitted with a sine of the frequency at its own phase, so the
// phase steps of drift control cost one block, not the rest.
struct ToneQuality {
  double snr_db = 0;          // fitted tone against what is left, over all blocks
  double clean_fraction = 0;  // share of blocks with an SNR of 27 dB or more
  double clean_snr_db = 0;    // over those alone: a stall of the machine spoils a few
};
ToneQuality tone_quality(const std::vector<float>& samples, double frequency_hz);

// A tone's frequency (Hz at 48000 Hz, above 240 Hz) from its rising zero crossings.
double tone_frequency(const std::vector<float>& samples);
// The longest run of samples with |x| <= threshold in [first, end).
std::size_t longest_quiet_run(const std::vector<float>& samples, std::size_t first, std::size_t end,
                              float threshold);
// The first sample with |x| > threshold; samples.size() if none.
std::size_t first_active(const std::vector<float>& samples, float threshold);
