#include "MpegSource.h"

#include "MpegFrames.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fsound {

namespace {

// Junk between frames that libmpg123 reads past to find the next one; more
// than that ends the file, so a long stretch of garbage cannot stall the
// thread that decodes for every stream.
constexpr long kResyncLimit = 64 * 1024;

mpg123_ssize_t ReaderRead(void* reader, void* out, std::size_t count) {
    return static_cast<FileReader*>(reader)->Read(out, static_cast<long long>(count));
}

off_t ReaderSeek(void* reader, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<FileReader*>(reader)->Seek(offset, whence));
}

// A handle reading through `reader`, quiet (libmpg123 would print its
// complaints about damaged files to the terminal), gapless, holding to the
// format of the first frame; null when it does not open.
mpg123_handle* OpenHandle(FileReader& reader, int rate, int channels) {
    static const bool initialised = mpg123_init() == MPG123_OK;
    if (!initialised) {
        return nullptr;
    }
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (handle == nullptr) {
        return nullptr;
    }
    const long flags = MPG123_QUIET | MPG123_GAPLESS | MPG123_NO_FRANKENSTEIN | MPG123_SKIP_ID3V2;
    if (mpg123_param(handle, MPG123_FLAGS, flags, 0) != MPG123_OK ||
        mpg123_param(handle, MPG123_RESYNC_LIMIT, kResyncLimit, 0) != MPG123_OK ||
        mpg123_format_none(handle) != MPG123_OK ||
        mpg123_format(handle, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_FLOAT_32) != MPG123_OK ||
        mpg123_replace_reader_handle(handle, &ReaderRead, &ReaderSeek, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, &reader) != MPG123_OK) {
        mpg123_delete(handle);
        return nullptr;
    }
    return handle;
}

long State(mpg123_handle* handle, mpg123_state key) {
    long value = -1;
    double unused = 0;
    return mpg123_getstate(handle, key, &value, &unused) == MPG123_OK ? value : -1;
}

} // namespace

std::unique_ptr<MpegSource> MpegSource::Open(int fd, long long frameAt, const unsigned char* head,
                                             std::size_t headBytes) {
    const MpegHeader first = ParseMpegHeader(head);
    if (first.layer == 0) {
        return nullptr;
    }
    std::unique_ptr<MpegSource> s(new MpegSource(fd, frameAt));
    s->m_handle = OpenHandle(s->m_reader, first.rate, first.channels);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (s->m_handle == nullptr ||
        mpg123_getformat(s->m_handle, &rate, &channels, &encoding) != MPG123_OK) {
        return nullptr;
    }
    s->m_rate = static_cast<int>(rate);
    s->m_channels = channels;
    s->m_frames = s->PlayedFrames(head, headBytes);
    return s;
}

MpegSource::~MpegSource() {
    if (m_handle != nullptr) {
        mpg123_delete(m_handle);
    }
}

long long MpegSource::PlayedFrames(const unsigned char* head, std::size_t headBytes) {
    const long long estimate = std::max<long long>(0, mpg123_length(m_handle));
    long long audioBytes = m_reader.Length();
    unsigned char tail[3];
    if (audioBytes >= 128 && m_reader.ReadAt(audioBytes - 128, tail, 3) == 3 &&
        std::memcmp(tail, "TAG", 3) == 0) {
        audioBytes -= 128;
    }
    // The table is trusted only where libmpg123 read it too, and where the
    // file holds the bytes it counts, give or take a frame: a download cut
    // short keeps the table of the whole.
    const FrameTable table = ReadFrameTable(head, headBytes);
    if (table.frames > 0 && table.bytes > 0 && mpg123_framelength(m_handle) == table.frames &&
        std::llabs(audioBytes - table.bytes) <= table.bytes / table.frames) {
        return estimate;
    }
    if (audioBytes > kMaxScanBytes) {
        return estimate;
    }
    const long long scanned = ScannedMpegFrames();
    const long samplesPerFrame = mpg123_spf(m_handle);
    if (scanned < 0 || samplesPerFrame <= 0) {
        return estimate;
    }
    long long end = scanned * samplesPerFrame;
    const long delay = State(m_handle, MPG123_ENC_DELAY);
    if (delay < 0) {
        return end; // no gapless trim without the encoder's word on it
    }
    // libmpg123 trims the start by the encoder's and its own delay, and ends
    // where the frame table says the source did, if the file gets that far.
    const long padding = std::max(0L, State(m_handle, MPG123_ENC_PADDING));
    const long decoderDelay = std::max(0L, State(m_handle, MPG123_DEC_DELAY));
    const long long tableEnd = table.frames * samplesPerFrame - padding + decoderDelay;
    if (table.frames > 0) {
        end = std::min(end, tableEnd);
    }
    return std::max(0LL, end - delay - decoderDelay);
}

// A second handle counts the frames, so that the one that decodes keeps the
// gapless trim that a scan of its own would drop when the counts differ.
long long MpegSource::ScannedMpegFrames() const {
    FileReader reader(m_reader.Fd(), m_reader.Base());
    mpg123_handle* scan = OpenHandle(reader, m_rate, m_channels);
    if (scan == nullptr) {
        return -1;
    }
    const long long frames = mpg123_scan(scan) == MPG123_OK ? mpg123_framelength(scan) : -1;
    mpg123_delete(scan);
    return frames;
}

std::size_t MpegSource::Read(float* out, std::size_t frames) {
    if (m_ended) {
        return 0;
    }
    const std::size_t frameBytes = static_cast<std::size_t>(m_channels) * sizeof(float);
    std::size_t done = 0;
    // A format change (which the fixed format makes a formality) yields no
    // audio; more calls that yield none mean nothing more will come.
    int idle = 0;
    while (done < frames) {
        std::size_t bytes = 0;
        const int result = mpg123_read(m_handle, out + done * static_cast<std::size_t>(m_channels),
                                       (frames - done) * frameBytes, &bytes);
        done += bytes / frameBytes;
        idle = bytes == 0 ? idle + 1 : 0;
        if ((result != MPG123_OK && result != MPG123_NEW_FORMAT) || idle > 4) {
            m_ended = true;
            break;
        }
    }
    return done;
}

bool MpegSource::Rewind() {
    m_ended = false;
    return mpg123_seek(m_handle, 0, SEEK_SET) == 0;
}

} // namespace fsound
