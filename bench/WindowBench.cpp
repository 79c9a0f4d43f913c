// The window's own costs: the timer tick with both decks playing and a fade running, the
// compressor unit's callback on a block of music, and one tick's drawing of both panels on
// the real client-area surface. The real window runs offscreen, the sound library in
// MANUAL output, so that mixing happens between the measured calls and never inside them.

#include "AudioFiles.h"
#include "CompressorUnit.h"
#include "CorvalineApp.h"
#include "CorvalineDlg.h"
#include "Resources.h"
#include "SummaryTable.h"
#include "fsound.h"
#include "fsound_stats.h"

#include <QApplication>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

CCorvalineApp theApp;

namespace corvaline::bench {
namespace {

using testsupport::Music;
using testsupport::TempDir;
using testsupport::ToPcm16;

constexpr UINT_PTR kTickTimer = 101;
constexpr double kTickTargetUs = 50.0;
constexpr double kCompressorOffTargetNs = 1.0;
constexpr double kCompressorOnTargetNs = 2.0;
constexpr double kDrawingTargetUs = 1000.0;

constexpr int kRounds = 7;
constexpr int kTicksPerRound = 1500;
constexpr int kDrawingsPerRound = 1500;
constexpr int kCompressorRoundsPerFigure = 4000;
// A few distinct blocks, so that the branches of the callback see varied material
// rather than learn one block; together they still fit the first-level cache.
constexpr int kBlocks = 4;
constexpr int kBlockSamples = 2 * FSOUND_BLOCK_FRAMES;
constexpr long kTrackFrames = 40L * FSOUND_MIX_RATE;
// Played to within this much of its end, a deck starts its track again between ticks.
constexpr int kRestartBeforeEndMs = 3000;

using Clock = std::chrono::steady_clock;

double NsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[at];
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) {
        sum += v;
    }
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

// The window's handlers are protected; a user reaches them through the controls.
class BenchWindow : public CCorvalineDlg {
  public:
    using CCorvalineDlg::OnFadeIn1;
    using CCorvalineDlg::OnPlay1;
    using CCorvalineDlg::OnPlay2;
};

// --- the compressor unit's callback ---------------------------------------------------

struct CompressorBlocks {
    CompressorBlocks() {
        const auto music = Music(FSOUND_MIX_RATE, 7);
        for (int b = 0; b < kBlocks; ++b) {
            for (int f = 0; f < FSOUND_BLOCK_FRAMES; ++f) {
                for (int c = 0; c < 2; ++c) {
                    source[b][2 * f + c] =
                        ToPcm16(music(static_cast<long>(b) * 9 * FSOUND_BLOCK_FRAMES + f, c));
                }
            }
        }
    }
    alignas(64) std::array<std::array<std::int16_t, kBlockSamples>, kBlocks> source{};
    alignas(64) std::array<std::array<std::int16_t, kBlockSamples>, kBlocks> work{};
};

CompressorBlocks& Blocks() {
    static CompressorBlocks blocks;
    return blocks;
}

void ResetUnitState() {
    g_gain.store(0.0, std::memory_order_relaxed);
    g_peakLeft.store(0, std::memory_order_relaxed);
    g_peakRight.store(0, std::memory_order_relaxed);
    g_clipLeft.store(0, std::memory_order_relaxed);
    g_clipRight.store(0, std::memory_order_relaxed);
}

// Nanoseconds per sample of one pass over the blocks: the callback with the option off
// (0) or on (1), or a plain copy of the same blocks (-1). The callback works in place, so
// each pass starts from fresh copies made outside the timing, with the gain at 0 dB.
double CompressorPass(int option) {
    CompressorBlocks& b = Blocks();
    double ns = 0;
    if (option < 0) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kBlocks; ++i) {
            std::memcpy(b.work[i].data(), b.source[i].data(), sizeof b.work[i]);
        }
        benchmark::ClobberMemory();
        ns = NsSince(start);
    } else {
        for (int i = 0; i < kBlocks; ++i) {
            std::memcpy(b.work[i].data(), b.source[i].data(), sizeof b.work[i]);
        }
        ResetUnitState();
        g_compressorOn.store(option, std::memory_order_relaxed);
        benchmark::ClobberMemory();
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kBlocks; ++i) {
            CompressorCallback(b.work[i].data(), nullptr, FSOUND_BLOCK_FRAMES, nullptr);
        }
        benchmark::ClobberMemory();
        ns = NsSince(start);
    }
    return ns / (kBlocks * kBlockSamples);
}

double CompressorFigure(int option) {
    std::vector<double> passes;
    for (int i = 0; i < kCompressorRoundsPerFigure; ++i) {
        passes.push_back(CompressorPass(option));
    }
    g_compressorOn.store(0, std::memory_order_relaxed);
    ResetUnitState();
    return Median(passes);
}

// --- the window -----------------------------------------------------------------------

class WindowScene {
  public:
    bool Open(std::string& why) {
        if (!FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL)) {
            why = "the sound library was already running";
            return false;
        }
        for (int deck = 0; deck < 2; ++deck) {
            m_tracks[deck] = m_dir.File(deck == 0 ? "one.wav" : "two.wav");
            if (!testsupport::WriteWav16(m_tracks[deck], FSOUND_MIX_RATE, 2, kTrackFrames,
                                         Music(FSOUND_MIX_RATE, 11u + deck))) {
                why = "cannot write " + m_tracks[deck];
                return false;
            }
        }
        m_window = std::make_unique<BenchWindow>();
        if (!m_window->Create()) {
            why = "the window could not be created";
            return false;
        }
        // Ticks are delivered here, one at a time, never by the window's own timer.
        m_window->KillTimer(kTickTimer);
        Events();
        return true;
    }

    void Close() {
        if (m_window) {
            m_window->DestroyWindow();
            m_window.reset();
        }
    }

    BenchWindow& Window() { return *m_window; }

    void Minimise(bool minimised) {
        m_window->ShowWindow(minimised ? SW_MINIMIZE : SW_RESTORE);
        Events();
    }
    bool Minimised() const { return m_window->IsIconic() != FALSE; }

    static void Events() { QCoreApplication::processEvents(); }

    // Both decks playing and deck 1 fading in, kept that way between ticks.
    bool StartDecks() {
        PlayDeck(0);
        PlayDeck(1);
        m_window->OnFadeIn1();
        return m_window->m_playing1 && m_window->m_playing2;
    }

    // The audio of the next 25 ms, then whatever keeps the scene going: restarted tracks
    // near their end and a fresh fade-in once the last one has finished.
    void PrepareTick() {
        ++m_ticks;
        while (m_frames * 2 < m_ticks * 2205) {
            m_frames += FSOUND_Update();
        }
        BenchWindow& w = *m_window;
        if (!w.m_playing1 || RemainingMs(w.m_stream1, w.m_lengthMs1) < kRestartBeforeEndMs) {
            PlayDeck(0);
        }
        if (!w.m_playing2 || RemainingMs(w.m_stream2, w.m_lengthMs2) < kRestartBeforeEndMs) {
            PlayDeck(1);
        }
        if (!w.m_fadeIn1) {
            w.OnFadeIn1();
        }
    }

    // One tick as the window's timer delivers it.
    double Tick() {
        const Clock::time_point start = Clock::now();
        m_window->SendMessage(WM_TIMER, kTickTimer);
        return NsSince(start);
    }

    bool StillRunning() const { return m_window->m_playing1 && m_window->m_playing2; }

  private:
    static int RemainingMs(FSOUND_STREAM* stream, int lengthMs) {
        return lengthMs - FSOUND_Stream_GetTime(stream);
    }

    void PlayDeck(int deck) {
        m_window->SetDlgItemText(IDC_PATH, m_tracks[deck]);
        if (deck == 0) {
            m_window->OnPlay1();
        } else {
            m_window->OnPlay2();
        }
    }

    TempDir m_dir;
    std::string m_tracks[2];
    std::unique_ptr<BenchWindow> m_window;
    long long m_ticks = 0;
    long long m_frames = 0;
};

WindowScene* g_scene = nullptr;

struct TickFigures {
    bool ok = false;
    double meanUs = 0;    // median over the rounds of each round's mean
    double p99Us = 0;     // over every tick measured
    double plainUs = 0;   // mean of the ticks without the control refresh
    double refreshUs = 0; // mean of the ticks with it
    double repaintUs = 0; // Qt showing the changed area after a visible tick
    std::string note;
};

TickFigures MeasureTicks(WindowScene& scene, bool minimised) {
    TickFigures f;
    scene.Minimise(minimised);
    if (scene.Minimised() != minimised) {
        f.note = minimised ? "the window would not minimise" : "the window would not restore";
        return f;
    }
    if (!scene.StartDecks()) {
        f.note = "the decks would not play";
        return f;
    }
    for (int i = 0; i < 50; ++i) { // the first sweep and a settled meter
        scene.PrepareTick();
        scene.Tick();
        scene.Events();
    }
    std::vector<double> roundMeans, all, repaints, plain, refresh;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<double> ticks;
        for (int i = 0; i < kTicksPerRound; ++i) {
            scene.PrepareTick();
            ticks.push_back(scene.Tick() / 1000.0);
            (scene.Window().m_tickCount == 0 ? refresh : plain).push_back(ticks.back());
            if (!scene.StillRunning()) {
                f.note = "a deck stopped during the measurement";
                return f;
            }
            const Clock::time_point start = Clock::now();
            scene.Events();
            repaints.push_back(NsSince(start) / 1000.0);
        }
        roundMeans.push_back(Mean(ticks));
        all.insert(all.end(), ticks.begin(), ticks.end());
    }
    f.ok = true;
    f.meanUs = Median(roundMeans);
    f.p99Us = Percentile(all, 0.99);
    f.repaintUs = Median(repaints);
    f.plainUs = Mean(plain);
    f.refreshUs = Mean(refresh);
    return f;
}

// --- one tick's drawing of both panels ------------------------------------------------

// Spectra that change from tick to tick, every column non-zero and some past the top.
struct Spectra {
    static constexpr int kCount = 16;
    Spectra() {
        for (int t = 0; t < kCount; ++t) {
            for (int k = 0; k < 512; ++k) {
                const double shape = 1.0 / (1.0 + k / 96.0);
                const double ripple = 0.5 + 0.5 * std::sin(0.045 * k + 0.9 * t);
                values[t][k] = static_cast<float>(0.004 + 0.12 * shape * ripple);
            }
        }
    }
    std::array<std::array<float, 512>, kCount> values{};
};

class PanelDrawing {
  public:
    explicit PanelDrawing(BenchWindow& window, bool bothSpectra = false)
        : m_window(window), m_bothSpectra(bothSpectra) {}

    // What a visible tick draws while a deck plays and both sides clip: both needles fed
    // from the unit's peaks, both lamps, and the spectrum. The tick's client-area surface
    // is made and released inside the timing, as its request to show the area is part of
    // the cost.
    double Draw() {
        // Peaks that rise and fall by varying steps, so that both needles move every tick.
        const int n = m_count++;
        const int left = 6000 + (n * 2789) % 26000;
        const int right = 32000 - (n * 1907) % 25000;
        m_peakLeft.store(left, std::memory_order_relaxed);
        m_peakRight.store(right, std::memory_order_relaxed);
        const float* spectrum = m_spectra.values[n % Spectra::kCount].data();

        const Clock::time_point start = Clock::now();
        {
            CClientDC dc(&m_window);
            m_window.m_panel1.SetDC(&dc);
            m_window.m_panel2.SetDC(&dc);
            m_window.FeedMeter(m_window.m_panel1, m_peakLeft);
            m_window.FeedMeter(m_window.m_panel2, m_peakRight);
            m_window.m_panel1.UpdateLamp(1);
            m_window.m_panel2.UpdateLamp(1);
            m_window.m_panel1.DrawSpectrum(spectrum);
            if (m_bothSpectra) {
                m_window.m_panel2.DrawSpectrum(spectrum);
            }
            m_window.m_panel1.SetDC(nullptr);
            m_window.m_panel2.SetDC(nullptr);
        }
        return NsSince(start);
    }

  private:
    BenchWindow& m_window;
    bool m_bothSpectra;
    Spectra m_spectra;
    std::atomic<int> m_peakLeft{0}, m_peakRight{0};
    int m_count = 0;
};

struct DrawingFigures {
    bool ok = false;
    double meanUs = 0;
    double p99Us = 0;
    std::string note;
};

DrawingFigures MeasureDrawing(WindowScene& scene, bool bothSpectra) {
    DrawingFigures f;
    scene.Minimise(false);
    if (scene.Minimised()) {
        f.note = "the window would not restore";
        return f;
    }
    PanelDrawing drawing(scene.Window(), bothSpectra);
    for (int i = 0; i < 50; ++i) {
        drawing.Draw();
        scene.Events();
    }
    std::vector<double> roundMeans, all;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<double> draws;
        for (int i = 0; i < kDrawingsPerRound; ++i) {
            draws.push_back(drawing.Draw() / 1000.0);
            // Qt shows the area between ticks, outside the timing, as its event loop would.
            scene.Events();
        }
        roundMeans.push_back(Mean(draws));
        all.insert(all.end(), draws.begin(), draws.end());
    }
    f.ok = true;
    f.meanUs = Median(roundMeans);
    f.p99Us = Percentile(all, 0.99);
    return f;
}

// --- Google Benchmark cases -----------------------------------------------------------

void BM_CompressorCallback(benchmark::State& state) {
    const int option = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.SetIterationTime(CompressorPass(option) * kBlocks * kBlockSamples * 1e-9);
    }
    g_compressorOn.store(0, std::memory_order_relaxed);
    ResetUnitState();
    state.SetItemsProcessed(state.iterations() * kBlocks * kBlockSamples);
}
BENCHMARK(BM_CompressorCallback)->ArgName("option")->Arg(0)->Arg(1)->UseManualTime();

void BM_BlockCopy(benchmark::State& state) {
    for (auto _ : state) {
        state.SetIterationTime(CompressorPass(-1) * kBlocks * kBlockSamples * 1e-9);
    }
    state.SetItemsProcessed(state.iterations() * kBlocks * kBlockSamples);
}
BENCHMARK(BM_BlockCopy)->UseManualTime();

void BM_Tick(benchmark::State& state) {
    if (!g_scene) {
        state.SkipWithError("no window");
        return;
    }
    const bool minimised = state.range(0) != 0;
    g_scene->Minimise(minimised);
    if (g_scene->Minimised() != minimised || !g_scene->StartDecks()) {
        state.SkipWithError("the scene could not be set up");
        return;
    }
    for (auto _ : state) {
        g_scene->PrepareTick();
        state.SetIterationTime(g_scene->Tick() * 1e-9);
        g_scene->Events();
    }
}
BENCHMARK(BM_Tick)
    ->ArgName("minimised")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_PanelDrawing(benchmark::State& state) {
    if (!g_scene) {
        state.SkipWithError("no window");
        return;
    }
    g_scene->Minimise(false);
    PanelDrawing drawing(g_scene->Window(), state.range(0) != 0);
    for (auto _ : state) {
        state.SetIterationTime(drawing.Draw() * 1e-9);
        g_scene->Events();
    }
}
BENCHMARK(BM_PanelDrawing)
    ->ArgName("bothSpectra")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// --- the table ------------------------------------------------------------------------

std::string Us(bool ok, double us) {
    return ok ? Format("%.1f us", us) : "failed";
}
std::string Ns(double ns) {
    return Format("%.3f ns", ns);
}

void AddCompressorRows(std::vector<SummaryRow>& rows) {
    CompressorPass(-1); // the blocks are built once, outside every figure
    const double copy = CompressorFigure(-1);
    const double off = CompressorFigure(0);
    const double on = CompressorFigure(1);
    rows.push_back({"CompressorCallback per sample, option off", Ns(off),
                    Format("< %.0f ns", kCompressorOffTargetNs),
                    Verdict(true, off < kCompressorOffTargetNs)});
    rows.push_back({"CompressorCallback per sample, option on", Ns(on),
                    Format("< %.0f ns", kCompressorOnTargetNs),
                    Verdict(true, on < kCompressorOnTargetNs)});
    rows.push_back({"memcpy of the same blocks per sample (floor)", Ns(copy), "", ""});
}

void AddWindowRows(WindowScene& scene, std::vector<SummaryRow>& rows,
                   std::vector<std::string>& notes) {
    const TickFigures hidden = MeasureTicks(scene, true);
    rows.push_back({"tick, both decks playing, deck 1 fading in, minimised (mean)",
                    Us(hidden.ok, hidden.meanUs), Format("< %.0f us", kTickTargetUs),
                    Verdict(hidden.ok, hidden.meanUs < kTickTargetUs)});
    rows.push_back({"same, 99th percentile of every tick", Us(hidden.ok, hidden.p99Us), "", ""});
    rows.push_back({"same, the 21 of 22 ticks without the control refresh (mean)",
                    Us(hidden.ok, hidden.plainUs), "", ""});
    rows.push_back({"same, the ticks with the control refresh (mean)",
                    Us(hidden.ok, hidden.refreshUs), "", ""});
    if (!hidden.note.empty()) {
        notes.push_back("minimised tick: " + hidden.note);
    }

    const TickFigures shown = MeasureTicks(scene, false);
    rows.push_back({"tick as above, window shown, drawing included (mean)",
                    Us(shown.ok, shown.meanUs), "", ""});
    rows.push_back({"Qt showing the changed area after a shown tick (median)",
                    Us(shown.ok, shown.repaintUs), "", ""});
    if (!shown.note.empty()) {
        notes.push_back("shown tick: " + shown.note);
    }

    const DrawingFigures draw = MeasureDrawing(scene, false);
    rows.push_back({"tick's drawing: 2 needles, 2 lamps, spectrum (mean)", Us(draw.ok, draw.meanUs),
                    Format("< %.0f us", kDrawingTargetUs),
                    Verdict(draw.ok, draw.meanUs < kDrawingTargetUs)});
    rows.push_back({"same, 99th percentile", Us(draw.ok, draw.p99Us), "", ""});
    const DrawingFigures both = MeasureDrawing(scene, true);
    rows.push_back(
        {"same with a spectrum on panel 2 as well (mean)", Us(both.ok, both.meanUs), "", ""});
    if (!draw.note.empty()) {
        notes.push_back("drawing: " + draw.note);
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);

    std::vector<SummaryRow> rows;
    std::vector<std::string> notes;
    AddCompressorRows(rows);

    WindowScene scene;
    std::string why;
    const bool open = scene.Open(why);
    if (open) {
        AddWindowRows(scene, rows, notes);
    } else {
        rows.push_back({"tick, minimised", "failed", Format("< %.0f us", kTickTargetUs), "n/a"});
        rows.push_back({"tick's drawing", "failed", Format("< %.0f us", kDrawingTargetUs), "n/a"});
        notes.push_back(why);
    }
    notes.push_back(Format(
        "ticks: %d rounds of %d, each after its 25 ms of audio was mixed outside the timing; "
        "the figure is the median of the rounds' means and includes the control refresh of "
        "every 22nd tick",
        kRounds, kTicksPerRound));
    notes.push_back("the tick's own work is measured on the minimised window, which draws no "
                    "needle and no spectrum (nothing is subtracted)");
    notes.push_back(Format("compressor: %d blocks of 1024 stereo frames of music (about -12 dBFS), "
                           "median of %d passes, fresh copies and 0 dB gain before each",
                           kBlocks, kCompressorRoundsPerFigure));
    notes.push_back("drawing: offscreen Qt platform; the tick draws the spectrum of panel 1 only");
    PrintSummary(rows, notes, "Corvaline window");

    if (open) {
        g_scene = &scene;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_scene = nullptr;
    scene.Close();
    return open ? 0 : 1;
}
