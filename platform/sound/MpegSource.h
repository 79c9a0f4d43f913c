// MPEG audio (layers I to III; MPEG-1, 2 and 2.5) through libmpg123, read
// through our own file reader.
//
// The length is the frame table's (Xing, Info or VBRI) when its counts agree
// with the size of the file; otherwise, and for a file that carries none, a
// scan of the frame headers tells what is really there. libmpg123 trims the
// encoder's delay and padding that a LAME tag states, so a track starts and
// ends where its source did, and resynchronises past junk between frames.
#pragma once

#include "AudioSource.h"
#include "FileReader.h"

#include <mpg123.h>

#include <memory>

namespace fsound {

class MpegSource final : public AudioSource {
  public:
    // `frameAt`: where in the file the first frame starts, as FindMpegFrame
    // found it; `head`, `headBytes`: the file from there on, as far as it was
    // read to find it. Null when libmpg123 cannot decode the file.
    static std::unique_ptr<MpegSource> Open(int fd, long long frameAt, const unsigned char* head,
                                            std::size_t headBytes);
    ~MpegSource() override;

    std::size_t Read(float* out, std::size_t frames) override;
    bool Rewind() override;

    // Bytes past which a file without a trustworthy frame table is not scanned
    // at open, and libmpg123's estimate from the file's size stands instead: a
    // scan costs about a millisecond per 3 MB, and opening must not keep the
    // window waiting; so long a file without a table is most likely a
    // constant-bitrate recording, for which the estimate is exact.
    static constexpr long long kMaxScanBytes = 32LL << 20;

  private:
    MpegSource(int fd, long long frameAt) : m_reader(fd, frameAt) {}
    long long PlayedFrames(const unsigned char* head, std::size_t headBytes);
    long long ScannedMpegFrames() const;

    FileReader m_reader;
    mpg123_handle* m_handle = nullptr;
    bool m_ended = false;
};

} // namespace fsound
