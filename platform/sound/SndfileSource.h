// Every format libsndfile reads but MPEG audio (WAVE, RF64, W64, AIFF, FLAC,
// Ogg, AU, CAF...), recognised by content, and headerless 16-bit PCM.
#pragma once

#include "AudioSource.h"
#include "FileReader.h"

#include <sndfile.h>

#include <memory>

namespace fsound {

class SndfileSource final : public AudioSource {
  public:
    // Null when libsndfile does not recognise the file, or takes it for MPEG
    // audio. With `headerlessPcm` the file is read as 44100 Hz 16-bit
    // little-endian stereo instead.
    static std::unique_ptr<SndfileSource> Open(int fd, long long base, bool headerlessPcm);
    ~SndfileSource() override;

    std::size_t Read(float* out, std::size_t frames) override;
    bool Rewind() override;

  private:
    SndfileSource(int fd, long long base) : m_reader(fd, base) {}
    void PatchUnfinishedWaveSize();

    static sf_count_t VioLength(void* self);
    static sf_count_t VioSeek(sf_count_t offset, int whence, void* self);
    static sf_count_t VioRead(void* buffer, sf_count_t count, void* self);
    static sf_count_t VioTell(void* self);

    FileReader m_reader;
    SF_VIRTUAL_IO m_vio{};
    SNDFILE* m_file = nullptr;
    bool m_ended = false;
    // A WAVE data size that the recorder never wrote, and what libsndfile is
    // told instead: the bytes that follow the header. -1: none.
    long long m_patchAt = -1;
    unsigned char m_patch[4]{};
};

} // namespace fsound
