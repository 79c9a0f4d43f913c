// Turns an audio file into 44100 Hz stereo float frames: libsndfile reads it
// (whatever its extension says), mono is doubled, channels past the second are
// dropped, and other rates go through soxr.
//
// Thread contract: one thread at a time (the stream's decode lock).
#pragma once

#include <sndfile.h>
#include <soxr.h>

#include <memory>
#include <string>
#include <vector>

namespace fsound {

class Decoder {
public:
    // Null when the file cannot be read as audio. `byteOffset` is where the
    // audio file starts inside the file named.
    static std::unique_ptr<Decoder> Open(const std::string& path, long long byteOffset);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Up to `frames` frames into `stereo`; 0 once the file has ended, or at the
    // first read error or corrupt frame, which ends it just the same.
    std::size_t Read(float* stereo, std::size_t frames);
    bool Rewind();

    int LengthMs() const { return lengthMs_; }

    // Bytes read from files by every decoder so far.
    static unsigned long long BytesRead();

private:
    Decoder() = default;
    bool OpenSndfile(bool headerlessPcm);
    bool StartResampler();
    std::size_t ReadSource(float* stereo, std::size_t frames);
    std::size_t ReadResampled(float* stereo, std::size_t frames);

    // libsndfile reads through these, so a file that shrinks or vanishes while
    // it plays just ends, and an offset into a container file costs nothing.
    static sf_count_t VioLength(void* self);
    static sf_count_t VioSeek(sf_count_t offset, int whence, void* self);
    static sf_count_t VioRead(void* buffer, sf_count_t count, void* self);
    static sf_count_t VioTell(void* self);

    int fd_ = -1;
    long long base_ = 0;
    sf_count_t position_ = 0;
    SF_VIRTUAL_IO vio_{};
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    int lengthMs_ = 0;
    bool sourceEnded_ = false;

    soxr_t resampler_ = nullptr;
    std::vector<float> fileFrames_;   // as the file has them, any channel count
    std::vector<float> sourceStereo_; // before resampling
    std::size_t sourcePending_ = 0;
    std::size_t sourceOffset_ = 0;
};

} // namespace fsound
