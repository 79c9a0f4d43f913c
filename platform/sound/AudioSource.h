// A decoder of one kind of audio file, as the stream's decoder sees it: frames
// of the file's own rate and channel count, interleaved floats.
//
// Thread contract: one thread at a time (the stream's decode lock, or the
// caller's thread at open).
#pragma once

#include <cstddef>

namespace fsound {

class AudioSource {
  public:
    virtual ~AudioSource() = default;

    int Rate() const { return rate_; }
    int Channels() const { return channels_; }
    // Frames the file plays for; 0 when that cannot be told.
    long long Frames() const { return frames_; }

    // Up to `frames` frames into `out` (frames * Channels() floats); 0 once the
    // file has ended, or at the first read error or corrupt frame, which ends
    // it just the same.
    virtual std::size_t Read(float* out, std::size_t frames) = 0;
    virtual bool Rewind() = 0;

  protected:
    int rate_ = 0;
    int channels_ = 0;
    long long frames_ = 0;
};

} // namespace fsound
