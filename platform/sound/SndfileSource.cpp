#include "SndfileSource.h"

#include "MixFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace fsound {

namespace {

std::uint32_t Little32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Chunks looked at before the data chunk; real files have a handful.
constexpr int kMaxWaveChunks = 64;

} // namespace

std::unique_ptr<SndfileSource> SndfileSource::Open(int fd, long long base, bool headerlessPcm) {
    std::unique_ptr<SndfileSource> s(new SndfileSource(fd, base));
    s->m_vio = SF_VIRTUAL_IO{&VioLength, &VioSeek, &VioRead, nullptr, &VioTell};
    SF_INFO info{};
    if (headerlessPcm) {
        info.samplerate = kMixRate;
        info.channels = 2;
        info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    } else {
        s->PatchUnfinishedWaveSize();
    }
    s->m_file = sf_open_virtual(&s->m_vio, SFM_READ, &info, s.get());
    if (s->m_file == nullptr || (headerlessPcm && info.frames <= 0) ||
        (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        return nullptr;
    }
    s->m_rate = info.samplerate;
    s->m_channels = info.channels;
    s->m_frames = info.frames > 0 && info.frames != SF_COUNT_MAX ? info.frames : 0;
    return s;
}

SndfileSource::~SndfileSource() {
    if (m_file != nullptr) {
        sf_close(m_file);
    }
}

// A recorder that is killed leaves the data size at 0, which libsndfile takes
// for no audio at all; what follows the header is the recording.
void SndfileSource::PatchUnfinishedWaveSize() {
    unsigned char riff[12];
    if (m_reader.ReadAt(0, riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return;
    }
    const long long length = m_reader.Length();
    long long at = 12;
    for (int i = 0; i < kMaxWaveChunks && at + 8 <= length; ++i) {
        unsigned char chunk[8];
        if (m_reader.ReadAt(at, chunk, 8) != 8) {
            return;
        }
        const long long size = Little32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (size == 0 && at + 8 < length) {
                const auto rest =
                    static_cast<std::uint32_t>(std::min<long long>(length - at - 8, 0xFFFFFFFFu));
                for (int b = 0; b < 4; ++b) {
                    m_patch[b] = static_cast<unsigned char>(rest >> (8 * b));
                }
                m_patchAt = at + 4;
            }
            return;
        }
        at += 8 + size + (size & 1);
    }
}

std::size_t SndfileSource::Read(float* out, std::size_t frames) {
    if (m_ended) {
        return 0;
    }
    const sf_count_t got = sf_readf_float(m_file, out, static_cast<sf_count_t>(frames));
    if (got <= 0) {
        m_ended = true;
        return 0;
    }
    if (static_cast<std::size_t>(got) < frames && sf_error(m_file) != SF_ERR_NO_ERROR) {
        m_ended = true;
    }
    return static_cast<std::size_t>(got);
}

bool SndfileSource::Rewind() {
    m_ended = false;
    return sf_seek(m_file, 0, SEEK_SET) == 0;
}

sf_count_t SndfileSource::VioLength(void* self) {
    return static_cast<SndfileSource*>(self)->m_reader.Length();
}

sf_count_t SndfileSource::VioSeek(sf_count_t offset, int whence, void* self) {
    return static_cast<SndfileSource*>(self)->m_reader.Seek(offset, whence);
}

sf_count_t SndfileSource::VioRead(void* buffer, sf_count_t count, void* self) {
    auto* s = static_cast<SndfileSource*>(self);
    const long long from = s->m_reader.Tell();
    const long long got = s->m_reader.Read(buffer, count);
    if (s->m_patchAt >= 0) {
        for (int b = 0; b < 4; ++b) {
            const long long at = s->m_patchAt + b - from;
            if (at >= 0 && at < got) {
                static_cast<unsigned char*>(buffer)[at] = s->m_patch[b];
            }
        }
    }
    return got;
}

sf_count_t SndfileSource::VioTell(void* self) {
    return static_cast<SndfileSource*>(self)->m_reader.Tell();
}

} // namespace fsound
