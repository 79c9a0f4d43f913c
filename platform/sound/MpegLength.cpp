#include "MpegLength.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace fsound {

namespace {

// Kilobits per second by [MPEG-1?][layer 1..3][index].
constexpr int kBitrates[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}};

constexpr std::size_t kHeadBytes = 4096;

bool ReadAt(int fd, long long offset, unsigned char* out, std::size_t count) {
    return ::pread(fd, out, count, static_cast<off_t>(offset)) == static_cast<ssize_t>(count);
}

long long Id3v2Size(const unsigned char* h) {
    if (std::memcmp(h, "ID3", 3) != 0) {
        return 0;
    }
    const long long body = (h[6] & 0x7f) << 21 | (h[7] & 0x7f) << 14 | (h[8] & 0x7f) << 7 | (h[9] & 0x7f);
    const bool footer = (h[5] & 0x10) != 0;
    return 10 + body + (footer ? 10 : 0);
}

bool HasFrameTable(const unsigned char* frame, std::size_t available, bool mpeg1, bool mono) {
    const std::size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const std::size_t xing = 4 + sideInfo;
    const std::size_t vbri = 4 + 32;
    auto tagAt = [&](std::size_t at, const char* tag) {
        return at + 4 <= available && std::memcmp(frame + at, tag, 4) == 0;
    };
    return tagAt(xing, "Xing") || tagAt(xing, "Info") || tagAt(vbri, "VBRI");
}

} // namespace

long long AudioStart(int fd, long long base) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return base;
    }
    long long start = base;
    unsigned char head[10];
    // Taggers may add a tag in front of an older one.
    while (ReadAt(fd, start, head, sizeof head)) {
        const long long size = Id3v2Size(head);
        if (size == 0 || start + size >= st.st_size) {
            break;
        }
        start += size;
    }
    return start;
}

int ConstantBitrateLengthMs(int fd, long long base) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return -1;
    }
    long long end = st.st_size;
    unsigned char head[kHeadBytes];
    const long long start = AudioStart(fd, base);
    const std::size_t got =
        static_cast<std::size_t>(std::min<long long>(kHeadBytes, end - start));
    if (end - start < 4 || !ReadAt(fd, start, head, got)) {
        return -1;
    }
    // The audio must begin right after the tag: anything else is no plain MPEG file.
    const std::uint32_t h = static_cast<std::uint32_t>(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
    const unsigned version = (h >> 19) & 3;
    const unsigned layer = (h >> 17) & 3;
    const unsigned bitrateIndex = (h >> 12) & 15;
    if ((h & 0xffe00000u) != 0xffe00000u || version == 1 || layer == 0) {
        return -1;
    }
    const bool mpeg1 = version == 3;
    const bool mono = ((h >> 6) & 3) == 3;
    const int kbps = kBitrates[mpeg1 ? 1 : 0][3 - layer][bitrateIndex];
    if (kbps == 0 || HasFrameTable(head, got, mpeg1, mono)) {
        return -1;
    }
    unsigned char tail[3];
    if (end - start >= 128 && ReadAt(fd, end - 128, tail, 3) && std::memcmp(tail, "TAG", 3) == 0) {
        end -= 128;
    }
    const long long ms = (end - start) * 8 / kbps;
    return ms > 0x7fffffff ? -1 : static_cast<int>(ms);
}

} // namespace fsound
