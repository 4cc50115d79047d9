#pragma once

#include <cstddef>
#include <vector>

// Speaker positions of a device's channels, in the order the platform
// delivers them for a given channel count (the usual WAVE/Windows order:
// FL FR FC LFE BL BR SL SR).
enum class SpeakerRole {
  Mono,
  FrontLeft,
  FrontRight,
  FrontCenter,
  Lfe,
  BackLeft,
  BackRight,
  SideLeft,
  SideRight,
  BackCenter,
  Other,  // beyond the known layouts: left out of the stereo mix
};

// Roles for 1..8 channels; counts above 8 get FL, FR and then Other.
std::vector<SpeakerRole> speaker_layout(int channels);

// Gains of one channel into the stereo mix.
struct StereoGains {
  float left;
  float right;
};

// Front channels at unity, centre and surrounds at -3 dB into both or their
// own side, LFE left out (the receiver has no subwoofer). Not normalised:
// float carries the rare peaks above 1 and plain stereo content keeps its level.
StereoGains stereo_gains(SpeakerRole role);
