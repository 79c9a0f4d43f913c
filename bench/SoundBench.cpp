#include "BenchFiles.h"
#include "RealTime.h"
#include "SummaryTable.h"
#include "Throughput.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace corvaline::bench {
namespace {

constexpr int kOpenRepeats = 20;
constexpr int kThroughputRounds = 5;

// Zero skips the soak; the cap keeps the five-minute decks from running dry.
double SoakSeconds() {
    const char* text = std::getenv("CORVALINE_BENCH_SOAK_SECONDS");
    const double seconds = text ? std::atof(text) : 60.0;
    return std::min(seconds, 280.0);
}

// Rounds rather than one contender after another, so that other work on the
// machine weighs on all of them alike; the least CPU time of each is kept.
std::vector<Throughput> BestOfRounds(const std::function<Throughput()>* runs, int contenders) {
    std::vector<Throughput> best(static_cast<std::size_t>(contenders));
    for (int round = 0; round < kThroughputRounds; ++round) {
        for (int i = 0; i < contenders; ++i) {
            if (round > 0 && !best[i].ok) {
                continue;
            }
            const Throughput next = runs[i]();
            if (!next.ok || !best[i].ok || next.cpuSeconds < best[i].cpuSeconds) {
                best[i] = next;
            }
        }
    }
    return best;
}

std::string Speed(const Throughput& run) {
    return run.ok ? Format("%.0f audio-s/CPU-s", run.AudioPerCpu()) : "failed";
}

void AddThroughputRows(const BenchFiles& files, std::vector<SummaryRow>& rows,
                       std::vector<std::string>& notes) {
    const std::vector<std::string> pair{files.musicA, files.musicB};
    const std::vector<std::string> resampled{files.music48k};
    enum {
        kChainPair,
        kDecodePair,
        kChainResampled,
        kDecodeResampled,
        kResampleResampled,
        kSox,
        kContenders
    };
    const std::function<Throughput()> runs[kContenders] = {
        [&] { return ChainThroughput(pair); },
        [&] { return DecodeThroughput(pair); },
        [&] { return ChainThroughput(resampled); },
        [&] { return DecodeThroughput(resampled); },
        [&] { return DecodeThroughput(resampled, true); },
        [&] { return SoxMixThroughput(files.musicA, files.musicB); },
    };
    const std::vector<Throughput> best = BestOfRounds(runs, kContenders);
    const Throughput& chainPair = best[kChainPair];
    const Throughput& decodePair = best[kDecodePair];
    const Throughput& chainResampled = best[kChainResampled];
    const Throughput& decodeResampled = best[kDecodeResampled];
    const Throughput& resampleResampled = best[kResampleResampled];
    const Throughput& sox = best[kSox];

    auto speedRow = [&](const std::string& measure, const Throughput& run) {
        rows.push_back({measure, Speed(run), "", ""});
        if (!run.note.empty()) {
            notes.push_back(measure + ": " + run.note);
        }
    };
    speedRow("chain, two 44.1 kHz decks", chainPair);
    speedRow("chain, one 48 kHz deck (resampled)", chainResampled);
    speedRow("libsndfile decode only, two 44.1 kHz files", decodePair);
    speedRow("libsndfile decode only, 48 kHz file", decodeResampled);
    speedRow("libsndfile decode + soxr HQ to 44.1 kHz, 48 kHz file", resampleResampled);
    speedRow("sox -m, two 44.1 kHz files", sox);

    // Both sides process the same files, so the ratio of rates is the ratio of CPU cost.
    auto costRow = [&](const char* measure, const Throughput& chain, const Throughput& decode) {
        const bool measured = chain.ok && decode.ok;
        const double ratio = measured ? decode.AudioPerCpu() / chain.AudioPerCpu() : 0;
        rows.push_back({measure, measured ? Format("%.2fx", ratio) : "failed", "<= 1.30x",
                        Verdict(measured, ratio <= 1.3)});
    };
    costRow("chain cost / decode cost, 44.1 kHz pair", chainPair, decodePair);
    costRow("chain cost / decode cost, 48 kHz", chainResampled, decodeResampled);
    costRow("chain cost / (decode + resample) cost, 48 kHz", chainResampled, resampleResampled);

    const bool measured = chainPair.ok && sox.ok;
    const double speedup = measured ? chainPair.AudioPerCpu() / sox.AudioPerCpu() : 0;
    rows.push_back({"chain speed / sox -m speed, 44.1 kHz pair",
                    measured ? Format("%.2fx", speedup) : "failed", ">= 2.00x",
                    Verdict(measured, speedup >= 2.0)});
}

// MPEG audio decoded by the library's stream decoder, by the reference decoder's
// own program and by libsndfile, all on the same file; and the stream through the
// mixer (no units) for what the rest of the way costs.
void AddMpegDecodeRows(const BenchFiles& files, std::vector<SummaryRow>& rows,
                       std::vector<std::string>& notes) {
    const std::vector<std::string> file{files.longVbr};
    enum { kStream, kMpg123, kSndfile, kMixed, kContenders };
    const std::function<Throughput()> runs[kContenders] = {
        [&] { return StreamDecodeThroughput(file); },
        [&] { return Mpg123Throughput(files.longVbr); },
        [&] { return DecodeThroughput(file); },
        [&] { return ChainThroughput(file, false); },
    };
    const std::vector<Throughput> best = BestOfRounds(runs, kContenders);
    const char* measures[kContenders] = {
        "MPEG decode, 10 min VBR: stream decoder", "MPEG decode, same file: mpg123 -t",
        "MPEG decode, same file: libsndfile", "same file through the mixer, no units"};
    for (int i = 0; i < kContenders; ++i) {
        rows.push_back({measures[i], Speed(best[i]), "", ""});
        if (!best[i].note.empty()) {
            notes.push_back(std::string(measures[i]) + ": " + best[i].note);
        }
    }
    auto speedupRow = [&](const char* measure, const Throughput& other, const char* target,
                          double least) {
        const bool measured = best[kStream].ok && other.ok;
        const double ratio = measured ? best[kStream].AudioPerCpu() / other.AudioPerCpu() : 0;
        rows.push_back({measure, measured ? Format("%.2fx", ratio) : "failed", target,
                        least > 0 ? Verdict(measured, ratio >= least) : ""});
    };
    speedupRow("MPEG decode speed, stream / libsndfile", best[kSndfile], ">= 1.00x", 1.0);
    speedupRow("MPEG decode speed, stream / mpg123 -t", best[kMpg123], "", 0);
}

void AddOpenRows(const BenchFiles& files, std::vector<SummaryRow>& rows) {
    auto openRows = [&](const char* file, const std::string& path, double medianTarget) {
        const CallTimes open = MeasureOpenClose(path, kOpenRepeats);
        rows.push_back({Format("Stream_OpenFile+Close, %s, median of %d", file, kOpenRepeats),
                        open.ok ? Format("%.2f ms", open.medianMs) : "failed",
                        Format("< %.0f ms", medianTarget),
                        Verdict(open.ok, open.medianMs < medianTarget)});
        rows.push_back({Format("Stream_OpenFile+Close, %s, max of %d", file, kOpenRepeats),
                        open.ok ? Format("%.2f ms", open.maxMs) : "failed", "< 20 ms",
                        Verdict(open.ok, open.maxMs < 20.0)});
    };
    openRows("10 min VBR MP3", files.longVbr, 5.0);
    // Without its frame table the length comes from a scan of every frame header.
    openRows("same without Xing (header scan)", files.longVbrNoTable, 20.0);

    // The stream is faded out and released off the caller's thread, which only hands
    // it over; the max allows for the caller being scheduled out on a busy machine.
    const CallTimes close = MeasureStopCloseWhilePlaying(files.musicA, kOpenRepeats);
    auto closeRow = [&](const char* of, double ms, double target) {
        rows.push_back(
            {Format("Stream_Stop+Close while it plays, NOSOUND, %s of %d", of, kOpenRepeats),
             close.ok ? Format("%.3f ms", ms) : "failed", Format("< %.0f ms", target),
             Verdict(close.ok, ms < target)});
    };
    closeRow("median", close.medianMs, 1.0);
    closeRow("max", close.maxMs, 5.0);
}

void AddSoakRows(const BenchFiles& files, std::vector<SummaryRow>& rows,
                 std::vector<std::string>& notes) {
    const double seconds = SoakSeconds();
    if (seconds <= 0) {
        rows.push_back({"mixer worst block / underruns (NOSOUND soak)", "skipped", "", ""});
        return;
    }
    const SoakResult soak = Soak(files.musicA, files.musicB, seconds);
    const std::string load = soak.loaded ? "stress-ng --cpu 2" : "NO LOAD: stress-ng missing";
    rows.push_back({Format("mixer worst block, %.0f s NOSOUND, 2 decks, %s", seconds, load.c_str()),
                    soak.ok ? Format("%.3f ms", soak.worstBlockMs) : "failed", "< 2 ms",
                    Verdict(soak.ok, soak.worstBlockMs < 2.0)});
    rows.push_back(
        {"underruns in the same soak",
         soak.ok ? Format("%llu in %llu blocks", soak.underruns, soak.blocksMixed) : "failed", "0",
         Verdict(soak.ok, soak.underruns == 0)});
    if (!soak.note.empty()) {
        notes.push_back("soak: " + soak.note);
    }
}

} // namespace
} // namespace corvaline::bench

int main(int argc, char** argv) {
    using namespace corvaline::bench;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }

    BenchFiles files;
    if (!PrepareBenchFiles(CORVALINE_BENCH_DATA_DIR, files)) {
        return 1;
    }

    std::vector<SummaryRow> rows;
    std::vector<std::string> notes{
        Format("audio-s/CPU-s is seconds of file audio (summed over the files) per second of "
               "CPU, best of %d rounds",
               kThroughputRounds)};
    AddThroughputRows(files, rows, notes);
    AddMpegDecodeRows(files, rows, notes);
    AddOpenRows(files, rows);
    AddSoakRows(files, rows, notes);
    PrintSummary(rows, notes);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
