// What the real window costs the machine while it is left open: CPU seconds per minute of
// wall time (user + system, every thread, from /proc) of the program on an X server of its
// own, idle, with one deck playing and with both decks playing under the spectrum; beside
// the same figure for command-line players on the same file, when they are installed, and
// for a window and a sound stream that only wake as often as the player's (what the machine
// charges for the waking alone).
// SDL's dummy driver takes the sound, so the figures hold no sound server's work.
//
// CORVALINE_CPU_SECONDS sets the length of each measurement (default 60); a program given
// as the argument is measured instead of this build's, e.g. an earlier build beside it.

#include "AudioFiles.h"
#include "BenchFiles.h"
#include "Resources.h"
#include "SummaryTable.h"
#include "VirtualDisplay.h"
#include "Xdotool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace corvaline::bench {
namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::EnvironmentWith;
using testsupport::OnPath;
using testsupport::VirtualDisplay;
using testsupport::Xdotool;

constexpr double kIdleTarget = 0.3;
constexpr double kOneDeckTarget = 0.8;
constexpr double kTwoDecksTarget = 1.0;
// The start-up sweep, or a deck's start, is over by then.
constexpr auto kSettle = 3s;
constexpr auto kStepBound = 30s;

std::chrono::seconds MeasureTime() {
    const char* text = std::getenv("CORVALINE_CPU_SECONDS");
    const long seconds = text ? std::atol(text) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 60);
}

// User + system time of every thread of a live process; nothing once it is gone.
std::optional<double> CpuSecondsOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The name in parentheses may hold spaces; the fields after it are counted from the state.
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 0; i < 13 && fields >> field; ++i) {
        if (i == 11) {
            utime = std::stoull(field);
        }
        if (i == 12) {
            stime = std::stoull(field);
        }
    }
    if (!fields) {
        return std::nullopt;
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    double one = 0;
    file >> one;
    return Format("%.2f", one);
}

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// CPU seconds per minute of a process over the measuring time, or nothing if it ended.
std::optional<double> PerMinute(pid_t pid, std::chrono::seconds span) {
    const std::optional<double> before = CpuSecondsOf(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(span);
    const std::optional<double> after = CpuSecondsOf(pid);
    const double minutes =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 60.0;
    if (!before || !after) {
        return std::nullopt;
    }
    return (*after - *before) / minutes;
}

class RunningWindow {
  public:
    // A program whose window has that caption.
    RunningWindow(const std::string& program, const std::string& caption, const std::string& dir)
        : m_programPath(program), m_caption(caption), m_dir(dir) {}

    // Empty when it came up; otherwise what went wrong.
    std::string Start() {
        m_display.emplace(m_dir + "/xvfb.log", kStepBound);
        if (m_display->Name().empty()) {
            return "Xvfb did not start";
        }
        m_input.emplace(m_display->Name());
        ChildProcess::Options options;
        options.environment =
            EnvironmentWith({"DISPLAY=" + m_display->Name(), "QT_QPA_PLATFORM=xcb",
                             "SDL_AUDIODRIVER=dummy", "XDG_RUNTIME_DIR=" + m_dir},
                            {"WAYLAND_DISPLAY"});
        options.outputFile = m_dir + "/program.log";
        m_program = ChildProcess({m_programPath}, options);
        if (!m_program.Started()) {
            return "cannot start " + m_programPath;
        }
        const std::string caption = "^" + m_caption + "$";
        WaitFor(
            [&] {
                const std::vector<std::string> found = m_input->WindowsNamed(caption);
                m_window = found.empty() ? std::string() : found.front();
                return !m_window.empty() || !m_program.Running();
            },
            kStepBound);
        if (m_window.empty()) {
            return "the window did not appear";
        }
        const std::optional<Xdotool::Size> size = m_input->SizeOf(m_window);
        if (!size) {
            return "the window's size is unknown";
        }
        m_size = *size;
        return {};
    }

    // A deck started on a file as a user starts it: the path typed into the edit, then Play.
    bool Play(const std::string& path, int playButton) {
        if (!Click(IDC_PATH) ||
            !WaitFor([&] { return m_input->FocusedWindow() == m_window; }, kStepBound)) {
            return false;
        }
        return m_input->Key("ctrl+a") && m_input->Type(path) && Click(playButton);
    }

    pid_t Pid() const { return m_program.Pid(); }

  private:
    bool Click(int control) {
        return m_program.Running() &&
               m_input->ClickControl(m_window, m_size, MainDialogTemplate(), control);
    }

    std::string m_programPath;
    std::string m_caption;
    std::string m_dir;
    std::optional<VirtualDisplay> m_display;
    std::optional<Xdotool> m_input;
    // Declared after the display: it goes first on the way out.
    ChildProcess m_program;
    std::string m_window;
    Xdotool::Size m_size;
};

SummaryRow Row(const std::string& measure, std::optional<double> figure, double target) {
    return {measure, figure ? Format("%.2f s/min", *figure) : "failed",
            Format("<= %.1f s/min", target),
            Verdict(figure.has_value(), figure && *figure <= target)};
}

// A player on the file, measured like the window while it plays in real time; one that
// decodes faster than real time and ends first is counted per minute of the file instead.
SummaryRow Peer(const std::string& name, std::vector<std::string> argv, std::chrono::seconds span,
                double fileMinutes, std::vector<std::string>& notes) {
    if (!OnPath(argv.front())) {
        return {name, "not installed", "", ""};
    }
    ChildProcess::Options options;
    options.outputFile = "/dev/null";
    const double childrenBefore = ChildrenCpuSeconds();
    ChildProcess peer(argv, options);
    if (!peer.Started()) {
        return {name, "cannot start", "", ""};
    }
    std::this_thread::sleep_for(kSettle);
    if (const std::optional<double> figure = PerMinute(peer.Pid(), span);
        figure && peer.Running()) {
        peer.Kill();
        return {name, Format("%.2f s/min", *figure), "", ""};
    }
    peer.WaitExit(kStepBound);
    const double spent = ChildrenCpuSeconds() - childrenBefore;
    notes.push_back(name + ": ended before the measuring time; per minute of the file's audio");
    return {name, Format("%.2f s/min", spent / fileMinutes), "", ""};
}

} // namespace
} // namespace corvaline::bench

int main(int argc, char** argv) {
    using namespace corvaline::bench;
    const std::string program = argc > 1 ? argv[1] : CORVALINE_PROGRAM;
    const std::chrono::seconds span = MeasureTime();
    BenchFiles files;
    if (!PrepareBenchFiles(CORVALINE_BENCH_DATA_DIR, files)) {
        return 1;
    }
    const double fileMinutes = FileSeconds(files.musicA) / 60.0;

    std::vector<SummaryRow> rows;
    std::vector<std::string> notes;
    std::vector<std::string> loads;
    corvaline::testsupport::TempDir dir;
    {
        RunningWindow window(program, MainDialogTemplate().caption, dir.Path());
        const std::string failure = window.Start();
        if (!failure.empty()) {
            std::fprintf(stderr, "cpu_bench: %s\n", failure.c_str());
            return 1;
        }
        std::this_thread::sleep_for(kSettle);
        loads.push_back(LoadAverage());
        rows.push_back(Row("window idle", PerMinute(window.Pid(), span), kIdleTarget));

        std::optional<double> one, two;
        if (window.Play(files.musicA, IDC_TOCAR_1)) {
            std::this_thread::sleep_for(kSettle);
            loads.push_back(LoadAverage());
            one = PerMinute(window.Pid(), span);
            if (window.Play(files.musicB, IDC_TOCAR_2)) {
                std::this_thread::sleep_for(kSettle);
                loads.push_back(LoadAverage());
                two = PerMinute(window.Pid(), span);
            }
        }
        rows.push_back(Row("window, one deck playing, needles and spectrum", one, kOneDeckTarget));
        rows.push_back(
            Row("window, two decks playing, needles and spectrum", two, kTwoDecksTarget));
    }
    {
        RunningWindow floor(CORVALINE_WAKE_FLOOR, "wake floor", dir.Path());
        std::optional<double> figure;
        if (floor.Start().empty()) {
            std::this_thread::sleep_for(kSettle);
            figure = PerMinute(floor.Pid(), span);
        }
        rows.push_back({"a window's 25 ms timer and an SDL stream, doing nothing",
                        figure ? Format("%.2f s/min", *figure) : "failed", "", ""});
    }
    rows.push_back(Peer("mpv --no-video --ao=null, same file",
                        {"mpv", "--no-video", "--ao=null", "--really-quiet", files.musicA}, span,
                        fileMinutes, notes));
    // Debian's mpg123 names its output that writes nothing "dummy", not "null".
    rows.push_back(Peer("mpg123 -o dummy, same file", {"mpg123", "-q", "-o", "dummy", files.musicA},
                        span, fileMinutes, notes));

    if (argc > 1) {
        notes.push_back("program measured: " + program);
    }
    std::string loadNote = "load average (1 min) at the window's measurements:";
    for (const std::string& load : loads) {
        loadNote += " " + load;
    }
    notes.push_back(loadNote + "; other work on the machine is not counted, but it slows what is");
    notes.push_back(Format("CPU seconds (user + system, all threads) per minute of wall time, "
                           "%lld s each, Xvfb, SDL dummy audio, a %.0f-minute VBR MP3",
                           static_cast<long long>(span.count()), fileMinutes));
    PrintSummary(rows, notes, "Corvaline on the CPU");
    const bool allMeasured = std::all_of(rows.begin(), rows.begin() + 3,
                                         [](const SummaryRow& r) { return r.figure != "failed"; });
    return allMeasured ? 0 : 1;
}
