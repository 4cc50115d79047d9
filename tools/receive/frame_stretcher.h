#pragma once

// Resamples one interleaved frame of in_frames to out_frames by linear
// interpolation, first and last samples kept, so that consecutive frames join
// without a step. Used to lengthen or shorten a frame by a few samples.
void stretch_frame(const float* in, int in_frames, float* out, int out_frames, int channels);
