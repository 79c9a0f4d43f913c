// What the sound library reads of an MPEG audio file itself, before and
// beside the decoder: where the audio starts, whether bytes are MPEG frames at
// all, and the frame table (Xing, Info or VBRI) that the first frame may carry.
#pragma once

#include <cstddef>

namespace fsound {

// Where the audio of a file starts: past the ID3v2 tags at `base` that end
// inside the file. A tag may hold megabytes (pictures, lyrics) that nothing
// here shows, so the decoder is handed the file from this point on and never
// reads them; a tag claiming more than the file holds is left in place.
// -1 for a chain of tags longer than any tagger writes, which would only make
// the open slow.
long long AudioStart(int fd, long long base);

struct MpegHeader {
    int layer = 0; // 1..3; 0: no valid header
    bool mpeg1 = false;
    int rate = 0;
    int channels = 0;
    int frameBytes = 0;
    int samplesPerFrame = 0;
    unsigned streamBits = 0; // what every frame of one stream shares
};

// The header of the frame at `bytes` (four bytes); layer 0 when there is none,
// or when it uses the free bitrate, whose frame size no header tells.
MpegHeader ParseMpegHeader(const unsigned char* bytes);

// Where in `bytes` the first MPEG frame starts that is followed by a second
// frame of the same stream (or by the end of the file, when `bytes` runs to
// it), looking at starts up to `searchBytes`; -1 when there is none.
long long FindMpegFrame(const unsigned char* bytes, std::size_t count, bool reachesEnd,
                        std::size_t searchBytes);

// The frame table of the first frame: its count of frames and of bytes (the
// whole stream, this frame included), 0 where it states none.
struct FrameTable {
    long long frames = 0;
    long long bytes = 0;
};
FrameTable ReadFrameTable(const unsigned char* frame, std::size_t count);

} // namespace fsound
