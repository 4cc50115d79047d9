#include "platform/linux/alsa_sink.h"

#include <cerrno>

#include "app/logs.h"
#include "audio_format.h"
#include "paced_sink.h"

namespace {

// The same depth as the sound server's buffer: a playout thread woken 20 ms
// late does not underrun. ALSA splits it into periods of a quarter each.
constexpr unsigned kBufferUs = 40000;
// A working card makes room within a period; one that takes nothing for this
// long has stopped, and the playout ends instead of blocking a stop for good.
constexpr int kStalledMs = 2000;

std::int64_t frames_to_ns(std::int64_t frames) { return frames * 1000000000 / kSampleRate; }

}  // namespace

ErrorCode AlsaSink::open() {
  const int error = snd_pcm_open(&pcm_, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
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
    if (written == -EAGAIN) {
      if (snd_pcm_wait(pcm_, kStalledMs) != 0) continue;
      debug_logf("alsa: write %s: the device takes nothing", device_.c_str());
      return false;
    }
    // An underrun (or a resume after suspend): start again and go on.
    const int error = snd_pcm_recover(pcm_, static_cast<int>(written), 1);
    if (error < 0) {
      debug_logf("alsa: write %s: %s", device_.c_str(), snd_strerror(error));
      return false;
    }
  }
  if (!clockless_ && took_all_at_once()) clockless_ = true;
  if (clockless_) sleep_until_ns(paced_.hand_over(paced_now_ns(), frames));
  return true;
}

// A card holds what it was given until it has played it; a device whose
// buffer is empty right after a write has no clock to wait for.
bool AlsaSink::took_all_at_once() {
  const snd_pcm_sframes_t available = snd_pcm_avail_update(pcm_);
  return available >= 0 && static_cast<snd_pcm_uframes_t>(available) >= buffer_frames_;
}

bool AlsaSink::queued_frames(snd_pcm_sframes_t* frames) {
  return pcm_ != nullptr && !clockless_ && snd_pcm_delay(pcm_, frames) == 0 && *frames >= 0;
}

std::int64_t AlsaSink::output_delay_ns() {
  snd_pcm_sframes_t queued = 0;
  return queued_frames(&queued) ? frames_to_ns(queued) : 0;
}

// As with the sound server: the time the next sample plays (now plus what
// the card still holds), less the buffer it is asked to keep, is a steady
// hand-over timeline that a late wake-up of the playout thread does not move.
// While the buffer first fills, the card holds less and the timeline moves
// on by each period, as it should.
std::int64_t AlsaSink::next_play_ns(std::int64_t now_ns) {
  if (clockless_) return paced_.next_play_ns(now_ns);
  snd_pcm_sframes_t queued = 0;
  if (!queued_frames(&queued)) return now_ns;
  return now_ns + frames_to_ns(queued - static_cast<snd_pcm_sframes_t>(buffer_frames_));
}

void AlsaSink::close() {
  if (pcm_ == nullptr) return;
  snd_pcm_drop(pcm_);  // a stop is heard at once; draining could wait on a stuck card
  snd_pcm_close(pcm_);
  pcm_ = nullptr;
}
