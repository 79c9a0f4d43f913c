#include "Decoder.h"

#include "MixFormat.h"
#include "MpegLength.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace fsound {

namespace {

constexpr int kMaxFileRate = 768000;

std::atomic<unsigned long long> g_bytesRead{0};

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

// Opens only regular files, without ever blocking on a FIFO or a device.
int OpenRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

std::unique_ptr<Decoder> Decoder::Open(const std::string& path, long long byteOffset) {
    if (byteOffset < 0) {
        return nullptr;
    }
    std::unique_ptr<Decoder> d(new Decoder);
    d->fd_ = OpenRegularFile(path);
    if (d->fd_ < 0) {
        return nullptr;
    }
    d->base_ = AudioStart(d->fd_, byteOffset);
    if (!d->OpenSndfile(false) && !(HasHeaderlessPcmName(path) && d->OpenSndfile(true))) {
        return nullptr;
    }
    if (d->info_.channels <= 0 || d->info_.samplerate <= 0 ||
        d->info_.samplerate > kMaxFileRate) {
        return nullptr;
    }
    if (d->info_.frames > 0 && d->info_.frames != SF_COUNT_MAX) {
        d->lengthMs_ = static_cast<int>(
            std::min<long long>(d->info_.frames * 1000LL / d->info_.samplerate, 0x7fffffff));
    }
    if ((d->info_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        const int exact = ConstantBitrateLengthMs(d->fd_, d->base_);
        d->lengthMs_ = exact >= 0 ? exact : d->lengthMs_;
    }
    d->fileFrames_.resize(kDecodeChunkFrames * static_cast<std::size_t>(d->info_.channels));
    if (d->info_.samplerate != kMixRate && !d->StartResampler()) {
        return nullptr;
    }
    return d;
}

Decoder::~Decoder() {
    if (resampler_ != nullptr) {
        soxr_delete(resampler_);
    }
    if (file_ != nullptr) {
        sf_close(file_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool Decoder::OpenSndfile(bool headerlessPcm) {
    vio_ = SF_VIRTUAL_IO{&VioLength, &VioSeek, &VioRead, nullptr, &VioTell};
    position_ = 0;
    info_ = SF_INFO{};
    if (headerlessPcm) {
        info_.samplerate = kMixRate;
        info_.channels = 2;
        info_.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    }
    file_ = sf_open_virtual(&vio_, SFM_READ, &info_, this);
    if (file_ != nullptr && headerlessPcm && info_.frames <= 0) {
        sf_close(file_);
        file_ = nullptr;
    }
    return file_ != nullptr;
}

bool Decoder::StartResampler() {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    resampler_ = soxr_create(info_.samplerate, kMixRate, 2, &error, &io, &quality, nullptr);
    if (error != nullptr) {
        resampler_ = nullptr;
        return false;
    }
    sourceStereo_.resize(kDecodeChunkFrames * 2);
    return true;
}

std::size_t Decoder::Read(float* stereo, std::size_t frames) {
    return resampler_ != nullptr ? ReadResampled(stereo, frames) : ReadSource(stereo, frames);
}

std::size_t Decoder::ReadSource(float* stereo, std::size_t frames) {
    if (sourceEnded_) {
        return 0;
    }
    frames = std::min(frames, kDecodeChunkFrames);
    const sf_count_t got = sf_readf_float(file_, fileFrames_.data(), static_cast<sf_count_t>(frames));
    if (got <= 0) {
        sourceEnded_ = true;
        return 0;
    }
    const int channels = info_.channels;
    const std::size_t n = static_cast<std::size_t>(got);
    for (std::size_t i = 0; i < n; ++i) {
        const float* in = &fileFrames_[i * static_cast<std::size_t>(channels)];
        float left = in[0];
        float right = channels > 1 ? in[1] : in[0];
        // Float files may hold anything; a NaN would poison the whole mix.
        stereo[2 * i] = std::isfinite(left) ? left : 0.0f;
        stereo[2 * i + 1] = std::isfinite(right) ? right : 0.0f;
    }
    if (static_cast<std::size_t>(got) < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
        sourceEnded_ = true;
    }
    return n;
}

std::size_t Decoder::ReadResampled(float* stereo, std::size_t frames) {
    std::size_t produced = 0;
    while (produced < frames) {
        if (sourcePending_ == 0 && !sourceEnded_) {
            sourcePending_ = ReadSource(sourceStereo_.data(), kDecodeChunkFrames);
            sourceOffset_ = 0;
        }
        const bool flushing = sourcePending_ == 0;
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(resampler_, flushing ? nullptr : &sourceStereo_[sourceOffset_ * 2],
                         sourcePending_, &used, stereo + produced * 2, frames - produced, &made);
        if (error != nullptr) {
            break;
        }
        sourceOffset_ += used;
        sourcePending_ -= used;
        produced += made;
        if (flushing && made == 0) {
            break;
        }
    }
    return produced;
}

bool Decoder::Rewind() {
    sourceEnded_ = false;
    sourcePending_ = 0;
    sourceOffset_ = 0;
    if (resampler_ != nullptr) {
        soxr_clear(resampler_);
    }
    return sf_seek(file_, 0, SEEK_SET) == 0;
}

unsigned long long Decoder::BytesRead() { return g_bytesRead.load(std::memory_order_relaxed); }

sf_count_t Decoder::VioLength(void* self) {
    auto* d = static_cast<Decoder*>(self);
    struct stat st {};
    if (::fstat(d->fd_, &st) != 0) {
        return 0;
    }
    return std::max<sf_count_t>(0, st.st_size - d->base_);
}

sf_count_t Decoder::VioSeek(sf_count_t offset, int whence, void* self) {
    auto* d = static_cast<Decoder*>(self);
    sf_count_t target = offset;
    if (whence == SEEK_CUR) {
        target = d->position_ + offset;
    } else if (whence == SEEK_END) {
        target = VioLength(self) + offset;
    }
    if (target < 0) {
        return -1;
    }
    d->position_ = target;
    return target;
}

sf_count_t Decoder::VioRead(void* buffer, sf_count_t count, void* self) {
    auto* d = static_cast<Decoder*>(self);
    char* out = static_cast<char*>(buffer);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(d->fd_, out + done, static_cast<std::size_t>(count - done),
                                    static_cast<off_t>(d->base_ + d->position_ + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += got;
    }
    d->position_ += done;
    g_bytesRead.fetch_add(static_cast<unsigned long long>(done), std::memory_order_relaxed);
    return done;
}

sf_count_t Decoder::VioTell(void* self) { return static_cast<Decoder*>(self)->position_; }

} // namespace fsound
