#include "engine/channel_layout.h"

std::vector<SpeakerRole> speaker_layout(int channels) {
  using R = SpeakerRole;
  switch (channels) {
    case 1:
      return {R::Mono};
    case 2:
      return {R::FrontLeft, R::FrontRight};
    case 3:
      return {R::FrontLeft, R::FrontRight, R::FrontCenter};
    case 4:
      return {R::FrontLeft, R::FrontRight, R::BackLeft, R::BackRight};
    case 5:
      return {R::FrontLeft, R::FrontRight, R::FrontCenter, R::BackLeft, R::BackRight};
    case 6:
      return {R::FrontLeft, R::FrontRight, R::FrontCenter, R::Lfe, R::BackLeft, R::BackRight};
    case 7:
      return {R::FrontLeft,  R::FrontRight, R::FrontCenter, R::Lfe,
              R::BackCenter, R::SideLeft,   R::SideRight};
    case 8:
      return {R::FrontLeft, R::FrontRight, R::FrontCenter, R::Lfe,
              R::BackLeft,  R::BackRight,  R::SideLeft,    R::SideRight};
    default:
      break;
  }
  std::vector<SpeakerRole> roles;
  if (channels <= 0) return roles;
  roles.assign(static_cast<std::size_t>(channels), R::Other);
  roles[0] = R::FrontLeft;
  roles[1] = R::FrontRight;
  return roles;
}

StereoGains stereo_gains(SpeakerRole role) {
  constexpr float kMinus3dB = 0.70710678f;
  switch (role) {
    case SpeakerRole::Mono:
      return {1.0f, 1.0f};
    case SpeakerRole::FrontLeft:
      return {1.0f, 0.0f};
    case SpeakerRole::FrontRight:
      return {0.0f, 1.0f};
    case SpeakerRole::FrontCenter:
    case SpeakerRole::BackCenter:
      return {kMinus3dB, kMinus3dB};
    case SpeakerRole::BackLeft:
    case SpeakerRole::SideLeft:
      return {kMinus3dB, 0.0f};
    case SpeakerRole::BackRight:
    case SpeakerRole::SideRight:
      return {0.0f, kMinus3dB};
    case SpeakerRole::Lfe:
    case SpeakerRole::Other:
      break;
  }
  return {0.0f, 0.0f};
}
