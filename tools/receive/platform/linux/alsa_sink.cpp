#include "platform/linux/alsa_sink.h"

#include <thread>

#include "app/logs.h"
#include "audio_format.h"
#include "transport/steady_clock.h"

namespace {

// The same depth as the sound server's buffer: a playout thread woken 20 ms
// late does not underrun. ALSA splits it into periods of a quarter each.
constexpr unsigned kBufferUs = 40000;
// Behind the own timeline by more than this (a suspended process): count
// afresh instead of writing the backlog in a burst.
constexpr std::int64_t kResyncAfterNs = 200000000;

std::int64_t frames_to_ns(std::int64_t frames) { return frames * 1000000000 / kSampleRate; }

}  // namespace

ErrorCode AlsaSink::open() {
  const int error = snd_pcm_open(&pcm_, device_.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
  if (error < 0) {
    debug_logf("alsa: open %s: %s", device_.c_str(), snd_strerror(error));
    pcm_ = nullptr;
    return ErrorCode::NoAudioDevice;
  }
  if (!configure()) {
    close();
    return ErrorCode::NoAudioDevice;
  }
  return ErrorCode::Ok;
}

// Float stereo at 48 kHz; ALSA's plug layer converts where the card wants
// another format or rate.
bool AlsaSink::configure() {
  int error = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                                 kChannels, kSampleRate, 1, kBufferUs);
  snd_pcm_uframes_t period = 0;
  if (error == 0) error = snd_pcm_get_params(pcm_, &buffer_frames_, &period);
  if (error < 0) {
    debug_logf("alsa: configure %s: %s", device_.c_str(), snd_strerror(error));
    return false;
  }
  return true;
}

bool AlsaSink::write(const float* samples, int frames) {
  if (pcm_ == nullptr) return false;
  int left = frames;
  while (left > 0) {
    const snd_pcm_sframes_t written =
        snd_pcm_writei(pcm_, samples + (frames - left) * kChannels, left);
    if (written >= 0) {
      left -= static_cast<int>(written);
      continue;
    }
    // An underrun (or a resume after suspend): start again and go on.
    const int error = snd_pcm_recover(pcm_, static_cast<int>(written), 1);
    if (error < 0) {
      debug_logf("alsa: write %s: %s", device_.c_str(), snd_strerror(error));
      return false;
    }
  }
  if (!clockless_ && took_all_at_once()) clockless_ = true;
  if (clockless_) pace(frames);
  return true;
}

// A card holds what it was given until it has played it; a device whose
// buffer is empty right after a write has no clock to wait for.
bool AlsaSink::took_all_at_once() {
  const snd_pcm_sframes_t available = snd_pcm_avail_update(pcm_);
  return available >= 0 && static_cast<snd_pcm_uframes_t>(available) >= buffer_frames_;
}

void AlsaSink::pace(int frames) {
  const std::int64_t now = system_steady_clock().now_ns();
  if (paced_start_ns_ < 0 || now - paced_due_ns() > kResyncAfterNs) {
    paced_start_ns_ = now;
    paced_frames_ = 0;
  }
  paced_frames_ += static_cast<std::uint64_t>(frames);
  const std::int64_t wait_ns = paced_due_ns() - now;
  if (wait_ns > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait_ns));
}

std::int64_t AlsaSink::paced_due_ns() const {
  return paced_start_ns_ + frames_to_ns(static_cast<std::int64_t>(paced_frames_));
}

std::int64_t AlsaSink::output_delay_ns() {
  snd_pcm_sframes_t delay = 0;
  if (pcm_ == nullptr || clockless_ || snd_pcm_delay(pcm_, &delay) < 0 || delay < 0) return 0;
  return frames_to_ns(delay);
}

// As with the sound server: the time the next sample plays (now plus what
// the card still holds), less the buffer it is asked to keep, is a steady
// hand-over timeline that a late wake-up of the playout thread does not move.
std::int64_t AlsaSink::next_play_ns(std::int64_t now_ns) {
  if (clockless_) return paced_start_ns_ < 0 ? now_ns : paced_due_ns();
  const std::int64_t delay = output_delay_ns();
  if (delay <= 0) return now_ns;
  return now_ns + delay - frames_to_ns(static_cast<std::int64_t>(buffer_frames_));
}

void AlsaSink::close() {
  if (pcm_ == nullptr) return;
  snd_pcm_drain(pcm_);
  snd_pcm_close(pcm_);
  pcm_ = nullptr;
}
