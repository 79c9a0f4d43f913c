// The length of an MPEG audio file that carries no table of its frames.
//
// Without a Xing, Info or VBRI table the decoder can only guess the length
// from the first frame, which is off by the padding bytes (over a second on
// a ten-minute file). For a constant bitrate the size of the audio data gives
// it exactly.
#pragma once

namespace fsound {

// -1 when the file starts with no MPEG frame, carries a frame table (then
// the decoder's own length is exact), or uses the free bitrate.
int ConstantBitrateLengthMs(int fd, long long base);

} // namespace fsound
