#include "frame_stretcher.h"

void stretch_frame(const float* in, int in_frames, float* out, int out_frames, int channels) {
  if (out_frames <= 0 || in_frames <= 0) return;
  if (out_frames == 1 || in_frames == 1) {
    for (int c = 0; c < channels; ++c) out[c] = in[c];
    for (int k = 1; k < out_frames; ++k) {
      for (int c = 0; c < channels; ++c) out[k * channels + c] = in[c];
    }
    return;
  }
  const double step = static_cast<double>(in_frames - 1) / (out_frames - 1);
  for (int k = 0; k < out_frames; ++k) {
    const double position = k * step;
    int left = static_cast<int>(position);
    if (left >= in_frames - 1) left = in_frames - 2;
    const float weight = static_cast<float>(position - left);
    for (int c = 0; c < channels; ++c) {
      const float a = in[left * channels + c];
      const float b = in[(left + 1) * channels + c];
      out[k * channels + c] = a + (b - a) * weight;
    }
  }
}
