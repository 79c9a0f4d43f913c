#include "Decoder.h"

#include "MixFormat.h"
#include "MpegFrames.h"
#include "MpegSource.h"
#include "SndfileSource.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace fsound {

namespace {

// What the mixer can keep up with: rates up to 768 kHz, and up to 64
// channels (of which two are heard), but not both at once.
constexpr int kMaxFileRate = 768000;
constexpr int kMaxFileChannels = 64;
constexpr long long kMaxFileSamplesPerSecond = 8LL * kMaxFileRate;

// How far into a file junk may lie before its first MPEG frame, and what is
// read to find that frame and its frame table.
constexpr std::size_t kJunkBytes = 64 * 1024;
constexpr std::size_t kHeadBytes = kJunkBytes + 8 * 1024;

bool HasHeaderlessPcmName(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == ".raw" || ext == ".pcm";
}

// The decoder is chosen by what the file holds: MPEG frames from its start
// on, else whatever libsndfile recognises, else MPEG frames after some junk.
// Only a name ending in .raw or .pcm makes a file libsndfile does not know
// headerless PCM, and such a file is not searched for MPEG frames past its
// first byte.
std::unique_ptr<AudioSource> OpenSource(int fd, long long byteOffset, bool headerlessName,
                                        long long fileSize) {
    const long long start = AudioStart(fd, byteOffset);
    if (start < 0) {
        return nullptr;
    }
    std::vector<unsigned char> head(kHeadBytes);
    const long long got = ReadFileAt(fd, start, head.data(), kHeadBytes);
    const auto count = static_cast<std::size_t>(std::max(0LL, got));
    // A tag claiming more than the file holds hides where the audio begins.
    if (count >= 3 && std::memcmp(head.data(), "ID3", 3) == 0) {
        return nullptr;
    }
    const bool reachesEnd = start + got >= fileSize;
    const long long frameAt =
        FindMpegFrame(head.data(), count, reachesEnd, headerlessName ? 0 : kJunkBytes);
    if (frameAt == 0) {
        return MpegSource::Open(fd, start, head.data(), count);
    }
    if (std::unique_ptr<AudioSource> source = SndfileSource::Open(fd, start, false)) {
        return source;
    }
    if (frameAt > 0) {
        const auto at = static_cast<std::size_t>(frameAt);
        return MpegSource::Open(fd, start + frameAt, head.data() + at, count - at);
    }
    return headerlessName ? SndfileSource::Open(fd, start, true) : nullptr;
}

} // namespace

std::unique_ptr<Decoder> Decoder::Open(const std::string& path, long long byteOffset) {
    if (byteOffset < 0) {
        return nullptr;
    }
    std::unique_ptr<Decoder> d(new Decoder(path));
    if (!d->m_file.valid()) {
        return nullptr;
    }
    d->m_source =
        OpenSource(d->m_file.fd(), byteOffset, HasHeaderlessPcmName(path), d->m_file.Size());
    if (!d->m_source) {
        return nullptr;
    }
    const int rate = d->m_source->Rate();
    const int channels = d->m_source->Channels();
    if (channels <= 0 || channels > kMaxFileChannels || rate <= 0 || rate > kMaxFileRate ||
        static_cast<long long>(rate) * channels > kMaxFileSamplesPerSecond) {
        return nullptr;
    }
    d->m_lengthMs =
        static_cast<int>(std::min<long long>(d->m_source->Frames() * 1000LL / rate, 0x7fffffff));
    if (channels != 2) {
        d->m_fileFrames.resize(kDecodeChunkFrames * static_cast<std::size_t>(channels));
    }
    if (rate != kMixRate && !d->StartResampler(rate)) {
        return nullptr;
    }
    return d;
}

Decoder::~Decoder() {
    if (m_resampler != nullptr) {
        soxr_delete(m_resampler);
    }
}

bool Decoder::StartResampler(int rate) {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    m_resampler = soxr_create(rate, kMixRate, 2, &error, &io, &quality, nullptr);
    if (error != nullptr) {
        m_resampler = nullptr;
        return false;
    }
    m_sourceStereo.resize(kDecodeChunkFrames * 2);
    return true;
}

std::size_t Decoder::Read(float* stereo, std::size_t frames) {
    return m_resampler != nullptr ? ReadResampled(stereo, frames) : ReadSource(stereo, frames);
}

std::size_t Decoder::ReadSource(float* stereo, std::size_t frames) {
    if (m_sourceEnded) {
        return 0;
    }
    frames = std::min(frames, kDecodeChunkFrames);
    const int channels = m_source->Channels();
    // Stereo files decode straight into place.
    const std::size_t n = m_source->Read(channels == 2 ? stereo : m_fileFrames.data(), frames);
    if (n == 0) {
        m_sourceEnded = true;
        return 0;
    }
    if (channels != 2) {
        for (std::size_t i = 0; i < n; ++i) {
            const float* in = &m_fileFrames[i * static_cast<std::size_t>(channels)];
            stereo[2 * i] = in[0];
            stereo[2 * i + 1] = channels > 1 ? in[1] : in[0];
        }
    }
    // Float files may hold anything; a NaN would poison the whole mix.
    for (std::size_t i = 0; i < 2 * n; ++i) {
        stereo[i] = std::isfinite(stereo[i]) ? stereo[i] : 0.0f;
    }
    return n;
}

std::size_t Decoder::ReadResampled(float* stereo, std::size_t frames) {
    std::size_t produced = 0;
    while (produced < frames) {
        if (m_sourcePending == 0 && !m_sourceEnded) {
            m_sourcePending = ReadSource(m_sourceStereo.data(), kDecodeChunkFrames);
            m_sourceOffset = 0;
        }
        const bool flushing = m_sourcePending == 0;
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(m_resampler, flushing ? nullptr : &m_sourceStereo[m_sourceOffset * 2],
                         m_sourcePending, &used, stereo + produced * 2, frames - produced, &made);
        if (error != nullptr) {
            break;
        }
        m_sourceOffset += used;
        m_sourcePending -= used;
        produced += made;
        if (flushing && made == 0) {
            break;
        }
    }
    return produced;
}

bool Decoder::Rewind() {
    m_sourceEnded = false;
    m_sourcePending = 0;
    m_sourceOffset = 0;
    if (m_resampler != nullptr) {
        soxr_clear(m_resampler);
    }
    return m_source->Rewind();
}

} // namespace fsound
