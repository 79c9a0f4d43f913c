#include "BenchFiles.h"
#include "ChainEngine.h"
#include "fsound_stats.h"

#include <benchmark/benchmark.h>

namespace corvaline::bench {
namespace {

// One FSOUND_Update of the whole chain: what the mixing thread spends per block.
// Counts audio seconds per CPU second so it reads like the summary table.
void UpdateWhilePlaying(benchmark::State& state, const std::vector<std::string>& files) {
    ChainEngine engine(FSOUND_OUTPUT_MANUAL);
    if (!engine.started() || !engine.PlayOnChannels(files)) {
        state.SkipWithError("the engine could not play the files");
        return;
    }
    for (auto _ : state) {
        FSOUND_Update();
        if (!engine.AnyPlaying()) {
            state.PauseTiming();
            engine.PlayOnChannels(files);
            state.ResumeTiming();
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                          FSOUND_BLOCK_FRAMES / FSOUND_MIX_RATE,
                                                      benchmark::Counter::kIsRate);
}

void BM_UpdateTwoDecks(benchmark::State& state) {
    const BenchFiles& files = CurrentBenchFiles();
    UpdateWhilePlaying(state, {files.musicA, files.musicB});
}
BENCHMARK(BM_UpdateTwoDecks);

void BM_UpdateResampledDeck(benchmark::State& state) {
    UpdateWhilePlaying(state, {CurrentBenchFiles().music48k});
}
BENCHMARK(BM_UpdateResampledDeck);

// Nothing playing: the fixed cost of a block, without units and with the level and
// spectrum units, which run on silence as well.
void BM_UpdateIdle(benchmark::State& state) {
    ChainEngine engine(FSOUND_OUTPUT_MANUAL, state.range(0) != 0);
    if (!engine.started()) {
        state.SkipWithError("FSOUND_Init failed");
        return;
    }
    for (auto _ : state) {
        FSOUND_Update();
    }
}
BENCHMARK(BM_UpdateIdle)->ArgName("units")->Arg(0)->Arg(1);

void BM_OpenCloseLongVbr(benchmark::State& state) {
    ChainEngine engine(FSOUND_OUTPUT_MANUAL, false);
    const std::string& path = CurrentBenchFiles().longVbr;
    for (auto _ : state) {
        FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
        if (!stream) {
            state.SkipWithError("FSOUND_Stream_OpenFile failed");
            break;
        }
        FSOUND_Stream_Close(stream);
    }
}
BENCHMARK(BM_OpenCloseLongVbr)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace corvaline::bench
