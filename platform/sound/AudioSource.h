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

    int Rate() const { return m_rate; }
    int Channels() const { return m_channels; }
    // Frames the file plays for; 0 when that cannot be told.
    long long Frames() const { return m_frames; }

    // Up to `frames` frames into `out` (frames * Channels() floats); 0 once the
    // file has ended, or at the first read error or corrupt frame, which ends
    // it just the same.
    virtual std::size_t Read(float* out, std::size_t frames) = 0;
    virtual bool Rewind() = 0;

  protected:
    int m_rate = 0;
    int m_channels = 0;
    long long m_frames = 0;
};

} // namespace fsound
