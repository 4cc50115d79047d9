#include "playout_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "frame_stretcher.h"

namespace {

constexpr double kNsPerFrameSample = 1e9 / kSampleRate;

std::int64_t offset_ns(int samples) {
  return static_cast<std::int64_t>(samples * kNsPerFrameSample);
}

}  // namespace

PlayoutEngine::PlayoutEngine(int latency_option)
    : target_(LatencyTarget::from_option(latency_option)) {
  counts_.target_ms = target_.target_ms();
  publish();
}

ErrorCode PlayoutEngine::init() { return decoder_.init(); }

void PlayoutEngine::receive(const QueuedFrame& frame) {
  InsertResult result = buffer_.insert(frame);
  if (result == InsertResult::OutOfWindow && ++out_of_window_run_ >= kOutOfWindowRun) {
    // The sequence jumped for good (a restarted transmitter): a new stream.
    new_stream();
    result = buffer_.insert(frame);
  }
  if (result != InsertResult::OutOfWindow) out_of_window_run_ = 0;
  switch (result) {
    case InsertResult::Accepted:
      jitter_.on_arrival(frame.sequence, frame.arrival_ns);
      break;
    case InsertResult::Late:
    case InsertResult::OutOfWindow:
      jitter_.on_arrival(frame.sequence, frame.arrival_ns);
      ++counts_.late;
      break;
    case InsertResult::Duplicate:
      ++counts_.duplicate;
      break;
  }
}

void PlayoutEngine::render(float* out, int frames, std::int64_t now_ns) {
  target_.set_period_ms(frames * 1000.0 / kSampleRate);
  int done = 0;
  while (done < frames) {
    if (fifo_frames_ == 0) produce(now_ns + offset_ns(done));
    const int take = std::min(fifo_frames_, frames - done);
    std::memcpy(out + done * kChannels, fifo_, sizeof(float) * take * kChannels);
    std::memmove(fifo_, fifo_ + take * kChannels,
                 sizeof(float) * (fifo_frames_ - take) * kChannels);
    fifo_frames_ -= take;
    done += take;
  }
  publish();
}

void PlayoutEngine::produce(std::int64_t now_ns) {
  if (!buffer_.started() && !try_start(now_ns)) return;
  target_.update(jitter_.jitter_ms());
  const DelayController::Action action = controller_.decide(target_.target_ms());
  if (action.insert_frame) {
    // Concealment of the frame before: more delay without a gap in the sound.
    const int samples = decoder_.conceal(pcm_);
    append(pcm_, samples, 0);
    ++counts_.inserted;
    return;
  }
  if (action.drop_frame) {
    const QueuedFrame* skipped = buffer_.take_next();
    // Decoded all the same, so the decoder's state follows the stream.
    if (skipped != nullptr) decoder_.decode(skipped->payload, skipped->size, pcm_);
    ++counts_.skipped;
  }
  play_next(now_ns, action.stretch_samples);
}

bool PlayoutEngine::try_start(std::int64_t now_ns) {
  const QueuedFrame* first = buffer_.earliest();
  if (first == nullptr) {
    append_silence(kIdleChunk);
    return false;
  }
  // Silence up to the very sample at which the first frame has waited the
  // target, so that playing starts on target rather than a chunk late.
  const double due_ns = static_cast<double>(first->arrival_ns) + target_.target_ms() * 1e6;
  const double wait = std::ceil((due_ns - static_cast<double>(now_ns)) / kNsPerFrameSample);
  if (wait >= 1) {
    append_silence(std::min(static_cast<int>(wait), kIdleChunk));
    return false;
  }
  buffer_.start();
  counts_.playing = true;
  return true;
}

void PlayoutEngine::play_next(std::int64_t now_ns, int stretch) {
  const QueuedFrame* frame = buffer_.take_next();
  const int samples = frame == nullptr ? -1 : decoder_.decode(frame->payload, frame->size, pcm_);
  if (samples <= 0) {
    play_missing();
    return;
  }
  missing_run_ = 0;
  ++counts_.frames;
  controller_.on_decoded(static_cast<double>(now_ns - frame->arrival_ns) / 1e6);
  if (stretch != 0) ++counts_.stretched;
  append(pcm_, samples, stretch);
}

void PlayoutEngine::play_missing() {
  ++counts_.lost;
  ++missing_run_;
  if (missing_run_ <= kConcealLimit) {
    const int samples = decoder_.conceal(pcm_);
    if (samples > 0) {
      ++counts_.concealed;
      append(pcm_, samples, 0);
      return;
    }
  }
  ++counts_.silent;
  append_silence(kFrameSamples);
  if (missing_run_ >= kIdleAfterMissing && buffer_.waiting() == 0) new_stream();
}

void PlayoutEngine::append(const float* pcm, int frames, int stretch) {
  const int wanted = frames + stretch;
  if (wanted <= 0 || fifo_frames_ + wanted > kFifoFrames) return;
  float* at = fifo_ + fifo_frames_ * kChannels;
  if (stretch == 0) {
    std::memcpy(at, pcm, sizeof(float) * frames * kChannels);
  } else {
    stretch_frame(pcm, frames, at, wanted, kChannels);
  }
  fifo_frames_ += wanted;
}

void PlayoutEngine::append_silence(int frames) {
  const int room = std::min(frames, kFifoFrames - fifo_frames_);
  std::fill(fifo_ + fifo_frames_ * kChannels, fifo_ + (fifo_frames_ + room) * kChannels, 0.0f);
  fifo_frames_ += room;
}

void PlayoutEngine::new_stream() {
  buffer_.reset();
  jitter_.reset();
  controller_.reset();
  missing_run_ = 0;
  out_of_window_run_ = 0;
  counts_.playing = false;
  ++counts_.resyncs;
}

void PlayoutEngine::publish() {
  double slack = 0;
  counts_.buffer_ms = controller_.estimate(&slack) ? slack : 0;
  counts_.target_ms = target_.target_ms();
  counts_.jitter_ms = jitter_.jitter_ms();
  Published& p = published_;
  const auto relaxed = std::memory_order_relaxed;
  p.frames.store(counts_.frames, relaxed);
  p.lost.store(counts_.lost, relaxed);
  p.concealed.store(counts_.concealed, relaxed);
  p.silent.store(counts_.silent, relaxed);
  p.late.store(counts_.late, relaxed);
  p.duplicate.store(counts_.duplicate, relaxed);
  p.inserted.store(counts_.inserted, relaxed);
  p.skipped.store(counts_.skipped, relaxed);
  p.stretched.store(counts_.stretched, relaxed);
  p.resyncs.store(counts_.resyncs, relaxed);
  p.buffer_ms.store(counts_.buffer_ms, relaxed);
  p.target_ms.store(counts_.target_ms, relaxed);
  p.jitter_ms.store(counts_.jitter_ms, relaxed);
  p.playing.store(counts_.playing, relaxed);
}

ReceiveStats PlayoutEngine::stats() const {
  const Published& p = published_;
  const auto relaxed = std::memory_order_relaxed;
  ReceiveStats s;
  s.frames = p.frames.load(relaxed);
  s.lost = p.lost.load(relaxed);
  s.concealed = p.concealed.load(relaxed);
  s.silent = p.silent.load(relaxed);
  s.late = p.late.load(relaxed);
  s.duplicate = p.duplicate.load(relaxed);
  s.inserted = p.inserted.load(relaxed);
  s.skipped = p.skipped.load(relaxed);
  s.stretched = p.stretched.load(relaxed);
  s.resyncs = p.resyncs.load(relaxed);
  s.buffer_ms = p.buffer_ms.load(relaxed);
  s.target_ms = p.target_ms.load(relaxed);
  s.jitter_ms = p.jitter_ms.load(relaxed);
  s.playing = p.playing.load(relaxed);
  return s;
}
