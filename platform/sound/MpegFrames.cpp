#include "MpegFrames.h"

#include "FileReader.h"

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

constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};

// Taggers add a tag in front of an older one now and then; nobody stacks more.
constexpr int kMaxChainedTags = 16;

std::uint32_t Big32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

long long Id3v2Size(const unsigned char* h) {
    if (std::memcmp(h, "ID3", 3) != 0) {
        return 0;
    }
    const long long body =
        (h[6] & 0x7f) << 21 | (h[7] & 0x7f) << 14 | (h[8] & 0x7f) << 7 | (h[9] & 0x7f);
    const bool footer = (h[5] & 0x10) != 0;
    return 10 + body + (footer ? 10 : 0);
}

} // namespace

long long AudioStart(int fd, long long base) {
    long long start = base;
    unsigned char head[10];
    for (int tags = 0; ReadFileAt(fd, start, head, sizeof head) == sizeof head; ++tags) {
        const long long size = Id3v2Size(head);
        if (size == 0) {
            break;
        }
        if (tags == kMaxChainedTags) {
            return -1;
        }
        if (ReadFileAt(fd, start + size, head, 1) != 1) {
            break; // claims the whole file or more
        }
        start += size;
    }
    return start;
}

MpegHeader ParseMpegHeader(const unsigned char* bytes) {
    const std::uint32_t h = Big32(bytes);
    const unsigned version = (h >> 19) & 3; // 0: 2.5, 2: 2, 3: 1
    const unsigned layerBits = (h >> 17) & 3;
    const unsigned bitrateIndex = (h >> 12) & 15;
    const unsigned rateIndex = (h >> 10) & 3;
    MpegHeader header;
    if ((h & 0xffe00000u) != 0xffe00000u || version == 1 || layerBits == 0 || rateIndex == 3 ||
        bitrateIndex == 0 || bitrateIndex == 15) {
        return header;
    }
    const int layer = 4 - static_cast<int>(layerBits);
    const bool mpeg1 = version == 3;
    const int rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int kbps = kBitrates[mpeg1 ? 1 : 0][layer - 1][bitrateIndex];
    const int padding = static_cast<int>((h >> 9) & 1);
    header.layer = layer;
    header.mpeg1 = mpeg1;
    header.rate = rate;
    header.channels = ((h >> 6) & 3) == 3 ? 1 : 2;
    if (layer == 1) {
        header.samplesPerFrame = 384;
        header.frameBytes = (12000 * kbps / rate + padding) * 4;
    } else {
        header.samplesPerFrame = layer == 3 && !mpeg1 ? 576 : 1152;
        header.frameBytes = header.samplesPerFrame / 8 * 1000 * kbps / rate + padding;
    }
    header.streamBits = h & 0xfffe0c00u; // sync, version, layer, sampling rate
    return header;
}

long long FindMpegFrame(const unsigned char* bytes, std::size_t count, bool reachesEnd,
                        std::size_t searchBytes) {
    for (std::size_t at = 0; at + 4 <= count && at <= searchBytes; ++at) {
        if (bytes[at] != 0xff) {
            continue;
        }
        const MpegHeader first = ParseMpegHeader(bytes + at);
        if (first.layer == 0) {
            continue;
        }
        const std::size_t next = at + static_cast<std::size_t>(first.frameBytes);
        if (next + 4 <= count) {
            const MpegHeader second = ParseMpegHeader(bytes + next);
            if (second.layer != 0 && second.streamBits == first.streamBits) {
                return static_cast<long long>(at);
            }
        } else if (reachesEnd && (next == count || (next + 128 == count &&
                                                    std::memcmp(bytes + next, "TAG", 3) == 0))) {
            // The only frame: the file ends with it, or with an ID3v1 tag after it.
            return static_cast<long long>(at);
        }
    }
    return -1;
}

FrameTable ReadFrameTable(const unsigned char* frame, std::size_t count) {
    FrameTable table;
    const MpegHeader header = ParseMpegHeader(frame);
    if (header.layer != 3) {
        return table;
    }
    const std::size_t sideInfo =
        header.mpeg1 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
    const std::size_t xing = 4 + sideInfo;
    if (xing + 16 <= count &&
        (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
        const std::uint32_t flags = Big32(frame + xing + 4);
        std::size_t at = xing + 8;
        if ((flags & 1) != 0) {
            table.frames = Big32(frame + at);
            at += 4;
        }
        if ((flags & 2) != 0) {
            table.bytes = Big32(frame + at);
        }
        return table;
    }
    constexpr std::size_t kVbri = 4 + 32;
    if (kVbri + 18 <= count && std::memcmp(frame + kVbri, "VBRI", 4) == 0) {
        table.bytes = Big32(frame + kVbri + 10);
        table.frames = Big32(frame + kVbri + 14);
    }
    return table;
}

} // namespace fsound
