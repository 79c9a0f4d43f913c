// Where the audio of an MPEG file starts, and its length when it carries no
// table of its frames.
//
// Without a Xing, Info or VBRI table the decoder can only guess the length
// from the first frame, which is off by the padding bytes (over a second on
// a ten-minute file). For a constant bitrate the size of the audio data gives
// it exactly.
#pragma once

namespace fsound {

// Where the audio of a file starts: past the ID3v2 tags at `base` that end
// inside the file. A tag may hold megabytes (pictures, lyrics) that nothing
// here shows, so the decoder is handed the file from this point on and never
// reads them; a tag claiming more than the file holds is left in place.
long long AudioStart(int fd, long long base);

// -1 when the file starts with no MPEG frame, carries a frame table (then
// the decoder's own length is exact), or uses the free bitrate.
int ConstantBitrateLengthMs(int fd, long long base);

} // namespace fsound
