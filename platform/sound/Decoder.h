// Turns an audio file into 44100 Hz stereo float frames: the file's content
// chooses its decoder (libmpg123 for MPEG audio, libsndfile for the rest,
// whatever the extension says), mono is doubled, channels past the second are
// dropped, and other rates go through soxr.
//
// Thread contract: one thread at a time (the stream's decode lock).
#pragma once

#include "AudioSource.h"
#include "FileReader.h"

#include <soxr.h>

#include <memory>
#include <string>
#include <vector>

namespace fsound {

class Decoder {
  public:
    // Null when the file cannot be read as audio, or is audio that the mixer
    // cannot keep up with. `byteOffset` is where the audio file starts inside
    // the file named.
    static std::unique_ptr<Decoder> Open(const std::string& path, long long byteOffset);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Up to `frames` frames into `stereo`; 0 once the file has ended, or at the
    // first read error or corrupt frame, which ends it just the same.
    std::size_t Read(float* stereo, std::size_t frames);
    bool Rewind();

    int LengthMs() const { return m_lengthMs; }

  private:
    explicit Decoder(const std::string& path) : m_file(path) {}
    bool StartResampler(int rate);
    std::size_t ReadSource(float* stereo, std::size_t frames);
    std::size_t ReadResampled(float* stereo, std::size_t frames);

    FileHandle m_file;
    std::unique_ptr<AudioSource> m_source;
    int m_lengthMs = 0;
    bool m_sourceEnded = false;

    soxr_t m_resampler = nullptr;
    std::vector<float> m_fileFrames;   // as the file has them, when it is not stereo
    std::vector<float> m_sourceStereo; // before resampling
    std::size_t m_sourcePending = 0;
    std::size_t m_sourceOffset = 0;
};

} // namespace fsound
