#include "Throughput.h"

#include "BenchFiles.h"
#include "ChainEngine.h"
#include "ChildProcess.h"
#include "CpuClock.h"
#include "Decoder.h"
#include "MixFormat.h"
#include "fsound_stats.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvaline::bench {
namespace {

struct Lengths {
    double total = 0;
    double longest = 0;
};

Lengths MeasureLengths(const std::vector<std::string>& files) {
    Lengths lengths;
    for (const std::string& file : files) {
        const double seconds = FileSeconds(file);
        lengths.total += seconds;
        lengths.longest = std::max(lengths.longest, seconds);
    }
    return lengths;
}

// A program run to its end on `files`, charged with its own CPU time.
Throughput ChildThroughput(const std::vector<std::string>& argv,
                           const std::vector<std::string>& files, const char* failure) {
    Throughput result;
    const pid_t pid = SpawnQuiet(argv);
    if (pid < 0) {
        result.note = argv[0] + " not found";
        return result;
    }
    const ChildExit exit = WaitChild(pid);
    if (!exit.succeeded) {
        result.note = failure;
        return result;
    }
    result.cpuSeconds = exit.cpuSeconds;
    result.audioSeconds = MeasureLengths(files).total;
    result.ok = true;
    return result;
}

} // namespace

Throughput ChainThroughput(const std::vector<std::string>& files, bool withUnits) {
    Throughput result;
    const Lengths lengths = MeasureLengths(files);
    ChainEngine engine(FSOUND_OUTPUT_MANUAL, withUnits);
    if (!engine.started()) {
        result.note = "FSOUND_Init failed";
        return result;
    }
    // A stream that never ends would otherwise hold the run forever.
    const long blockLimit =
        static_cast<long>(lengths.longest * FSOUND_MIX_RATE / FSOUND_BLOCK_FRAMES * 1.1) + 100;

    FSOUND_ResetStats();
    const double start = ProcessCpuSeconds();
    if (!engine.PlayOnChannels(files)) {
        result.note = "FSOUND_Stream_OpenFile failed";
        return result;
    }
    long blocks = 0;
    while (engine.AnyPlaying() && blocks < blockLimit) {
        FSOUND_Update();
        ++blocks;
    }
    engine.CloseStreams();
    result.cpuSeconds = ProcessCpuSeconds() - start;
    result.audioSeconds = lengths.total;
    result.ok = true;

    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    const double played =
        static_cast<double>(stats.blocksMixed) * FSOUND_BLOCK_FRAMES / FSOUND_MIX_RATE;
    char note[160];
    if (blocks >= blockLimit) {
        std::snprintf(note, sizeof note, "still playing after %.1f s of %.1f s", played,
                      lengths.longest);
        result.note = note;
    } else if (std::abs(played - lengths.longest) > 0.5) {
        std::snprintf(note, sizeof note, "played %.1f s of %.1f s", played, lengths.longest);
        result.note = note;
    } else if (stats.underruns > 0) {
        std::snprintf(note, sizeof note, "%llu underruns in MANUAL output", stats.underruns);
        result.note = note;
    }
    return result;
}

Throughput StreamDecodeThroughput(const std::vector<std::string>& files) {
    Throughput result;
    std::vector<float> chunk(fsound::kDecodeChunkFrames * 2);
    const double start = ProcessCpuSeconds();
    for (const std::string& path : files) {
        const std::unique_ptr<fsound::Decoder> decoder = fsound::Decoder::Open(path, 0);
        if (!decoder) {
            result.note = "Decoder::Open failed";
            return result;
        }
        std::size_t frames = 0;
        std::size_t read;
        while ((read = decoder->Read(chunk.data(), fsound::kDecodeChunkFrames)) > 0) {
            frames += read;
        }
        result.audioSeconds += static_cast<double>(frames) / FSOUND_MIX_RATE;
    }
    result.cpuSeconds = ProcessCpuSeconds() - start;
    result.ok = true;
    return result;
}

Throughput DecodeThroughput(const std::vector<std::string>& files, bool resampleTo44k) {
    Throughput result;
    const double start = ProcessCpuSeconds();
    for (const std::string& path : files) {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (!file) {
            result.note = "sf_open failed";
            return result;
        }
        soxr_t resampler = nullptr;
        if (resampleTo44k && info.samplerate != FSOUND_MIX_RATE) {
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            resampler = soxr_create(info.samplerate, FSOUND_MIX_RATE, info.channels, nullptr, &io,
                                    &quality, nullptr);
        }
        std::vector<float> block(static_cast<std::size_t>(FSOUND_BLOCK_FRAMES) * info.channels);
        std::vector<float> resampled(block.size() * 2);
        sf_count_t frames = 0;
        sf_count_t read;
        while ((read = sf_readf_float(file, block.data(), FSOUND_BLOCK_FRAMES)) > 0) {
            frames += read;
            std::size_t used = 0;
            std::size_t made = 0;
            if (resampler) {
                soxr_process(resampler, block.data(), static_cast<std::size_t>(read), &used,
                             resampled.data(), FSOUND_BLOCK_FRAMES * 2, &made);
            }
        }
        if (resampler) {
            soxr_delete(resampler);
        }
        sf_close(file);
        result.audioSeconds += static_cast<double>(frames) / info.samplerate;
    }
    result.cpuSeconds = ProcessCpuSeconds() - start;
    result.ok = true;
    return result;
}

Throughput SoxMixThroughput(const std::string& a, const std::string& b) {
    return ChildThroughput({"sox", "-m", a, b, "-t", "null", "-"}, {a, b},
                           "sox failed (is libsox-fmt-mp3 installed?)");
}

Throughput Mpg123Throughput(const std::string& file) {
    return ChildThroughput({"mpg123", "-q", "-t", file}, {file}, "mpg123 failed");
}

} // namespace corvaline::bench
