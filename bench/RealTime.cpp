#include "RealTime.h"

#include "ChainEngine.h"
#include "ChildProcess.h"
#include "fsound_stats.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

namespace corvaline::bench {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

CallTimes Summarise(std::vector<double> times) {
    CallTimes result;
    std::sort(times.begin(), times.end());
    result.medianMs = times[times.size() / 2];
    result.maxMs = times.back();
    result.ok = true;
    return result;
}

} // namespace

CallTimes MeasureOpenClose(const std::string& path, int repeats) {
    ChainEngine engine(FSOUND_OUTPUT_MANUAL, false);
    if (!engine.started()) {
        return {};
    }
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const Clock::time_point start = Clock::now();
        FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
        if (!stream) {
            return {};
        }
        FSOUND_Stream_Close(stream);
        times.push_back(MillisecondsSince(start));
    }
    return Summarise(std::move(times));
}

CallTimes MeasureStopCloseWhilePlaying(const std::string& path, int repeats) {
    ChainEngine engine(FSOUND_OUTPUT_NOSOUND);
    if (!engine.started()) {
        return {};
    }
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
        if (!stream) {
            return {};
        }
        FSOUND_Stream_Play(0, stream);
        // A few blocks in, and at a different moment of the block each time.
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + 3 * (i % 8)));
        const Clock::time_point start = Clock::now();
        FSOUND_Stream_Stop(stream);
        FSOUND_Stream_Close(stream);
        times.push_back(MillisecondsSince(start));
    }
    return Summarise(std::move(times));
}

SoakResult Soak(const std::string& deck1, const std::string& deck2, double seconds) {
    SoakResult result;
    result.seconds = seconds;
    // The load outlives the soak by a margin so it covers the whole of it.
    const std::string timeout = std::to_string(static_cast<int>(seconds) + 5) + "s";
    const pid_t load = SpawnQuiet({"stress-ng", "--cpu", "2", "--timeout", timeout});
    result.loaded = load > 0;
    if (result.loaded) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // let the workers spin up
    }

    {
        ChainEngine engine(FSOUND_OUTPUT_NOSOUND);
        if (!engine.started()) {
            result.note = "FSOUND_Init failed";
        } else if (!engine.PlayOnChannels({deck1, deck2})) {
            result.note = "FSOUND_Stream_OpenFile failed";
        } else {
            FSOUND_ResetStats();
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
            FSOUND_STATS stats{};
            FSOUND_GetStats(&stats);
            result.worstBlockMs = stats.worstBlockMs;
            result.underruns = stats.underruns;
            result.blocksMixed = stats.blocksMixed;
            result.ok = true;
            const double expected = seconds * FSOUND_MIX_RATE / FSOUND_BLOCK_FRAMES;
            char note[160];
            if (!FSOUND_IsPlaying(0) || !FSOUND_IsPlaying(1)) {
                result.note = "a deck stopped before the end of the soak";
            } else if (const double pace = static_cast<double>(stats.blocksMixed) / expected;
                       pace < 0.98 || pace > 1.02) {
                std::snprintf(note, sizeof note, "mixed %llu blocks where real time is %.0f",
                              stats.blocksMixed, expected);
                result.note = note;
            }
        }
    }

    if (result.loaded) {
        kill(load, SIGTERM);
        WaitChild(load);
    }
    return result;
}

} // namespace corvaline::bench
