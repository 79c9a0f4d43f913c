// Feeds arbitrary bytes to the sound library as audio files: each input is written under
// every extension the library treats differently or that a playlist hands it, opened as a
// stream, played for a few seconds in the MANUAL output and closed. The library must
// neither crash, nor hang, nor leave a stream behind.
#include "fsound.h"
#include "fsound_stats.h"

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Mixed per opened file at most: long enough to run past the read-ahead into the
// feeder's steady state, short enough to keep many inputs a second.
constexpr int kMaxBlocks = 3 * FSOUND_MIX_RATE / FSOUND_BLOCK_FRAMES;

// Content decides the format everywhere but for .raw, which also opens as headerless PCM.
constexpr const char* kExtensions[] = {"mp3", "wav", "mp2", "raw"};
constexpr int kExtensionCount = sizeof kExtensions / sizeof kExtensions[0];

// The decoders live in system libraries built without coverage, so libFuzzer would not see
// an input that makes them decode something new. What shows through the library's interface
// stands in for it: per extension, the order of magnitude of the length the file claims and
// of how long it played.
constexpr int kMagnitudes = 32;
__attribute__((used, section("__libfuzzer_extra_counters")))
std::uint8_t g_outcomes[kExtensionCount][2][kMagnitudes];

int Magnitude(long long value) {
    int bits = 0;
    for (; value > 0 && bits < kMagnitudes - 1; value >>= 1) {
        ++bits;
    }
    return bits;
}

class Scratch {
  public:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/stream-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_dir = pattern;
    }
    ~Scratch() { std::filesystem::remove_all(m_dir); }

    std::string Write(const char* extension, const std::uint8_t* data, std::size_t size) const {
        const std::string path = m_dir + "/input." + extension;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out) {
            std::abort();
        }
        return path;
    }

  private:
    std::string m_dir;
};

int StreamsOpen() {
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    return stats.streamsOpen;
}

void PlayFile(int extension, const std::string& path) {
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
    if (stream == nullptr) {
        return;
    }
    ++g_outcomes[extension][0][Magnitude(FSOUND_Stream_GetLengthMs(stream))];
    if (FSOUND_Stream_Play(0, stream) == 0) {
        std::abort();
    }
    int blocks = 0;
    for (; blocks < kMaxBlocks && FSOUND_IsPlaying(0); ++blocks) {
        FSOUND_Update();
        FSOUND_Stream_GetTime(stream);
        FSOUND_Stream_GetLengthMs(stream);
    }
    ++g_outcomes[extension][1][Magnitude(blocks)];
    if (FSOUND_Stream_Close(stream) == 0) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL) == 0 || FSOUND_Init(44100, 2, 0) == 0) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
    for (int extension = 0; extension < kExtensionCount; ++extension) {
        PlayFile(extension, scratch.Write(kExtensions[extension], data, size));
        if (StreamsOpen() != 0) {
            std::fprintf(stderr, "a stream of a .%s file stayed open\n", kExtensions[extension]);
            std::abort();
        }
    }
    return 0;
}
