// The program as a user meets it: the real binary on an X server of its own, driven with
// the mouse and the keyboard, its sound recorded by SDL's disk output. One session plays a
// file on deck 1, hands over to another on deck 2, puts a directory tree (with a link back
// to its top) into the playlist, runs it and quits. The recording must show every step and
// no gap, the program must end by itself, and its home must be as empty as it was.
//
// Controls are clicked at the centre of their rectangle in the window's own template,
// scaled by the window's size to the template's: it finds each control by its identifier
// whichever controls are enabled or focused, which Tab counting cannot.
#include "AudioFiles.h"
#include "ChildProcess.h"
#include "Recording.h"
#include "Resources.h"
#include "VirtualDisplay.h"
#include "Xdotool.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

using namespace corvaline::testsupport;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = Recording::kRate;
constexpr double kAmplitude = 0.4;
constexpr double kFirstHz = 440.0;
constexpr double kSecondHz = 1000.0;

// One tone per file of the tree, apart from each other and from the decks' tones.
struct TreeFile {
    const char* name;
    double hz;
};
constexpr TreeFile kTree[] = {
    {"top.wav", 600.0}, {"sub/middle.wav", 1500.0}, {"sub/deeper/bottom.wav", 2700.0}};
constexpr const char* kTreeTop = "tree/top.wav";

constexpr long kWindow = kRate / 20; // analysis windows of 50 ms
// Longer runs of exact zeros are a gap, not the crossing of a quiet wave.
constexpr long kLongestQuiet = kRate / 100;

// Bounds on waiting, never on speed: generous for a loaded machine and AddressSanitizer.
// Their sum stays below the test's time limit (CMakeLists.txt): the test ends, and takes
// its processes with it, before CTest would kill it.
constexpr auto kServerBound = 30s;
constexpr auto kStepBound = 60s;
constexpr auto kRunBound = 120s;
constexpr auto kExitBound = 60s;
// Reading the recording costs more than asking the X server, and the program under test
// shares the processors.
constexpr auto kRecordingPoll = 250ms;

long Frames(double seconds) {
    return static_cast<long>(seconds * kRate);
}

double Seconds(long frames) {
    return static_cast<double>(frames) / kRate;
}

template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds bound,
             std::chrono::milliseconds interval = 50ms) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
    return true;
}

std::string RegexQuoted(const std::string& text) {
    std::string quoted;
    for (const char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted;
}

// The first analysis window from `begin` on where the level of the tone passes `threshold`
// (downwards when `falling`), or -1.
long Crossing(const Recording& recording, double hz, long begin, long end, double threshold,
              bool falling) {
    for (long at = begin; at + kWindow <= std::min(end, recording.Frames()); at += kWindow) {
        const double level = recording.ToneLevel(hz, at, kWindow);
        if (falling ? level < threshold : level > threshold) {
            return at;
        }
    }
    return -1;
}

double LoudestWindow(const Recording& recording, double hz, long begin, long end) {
    double loudest = 0.0;
    for (long at = std::max(begin, 0L); at + kWindow <= std::min(end, recording.Frames());
         at += kWindow) {
        loudest = std::max(loudest, recording.ToneLevel(hz, at, kWindow));
    }
    return loudest;
}

double MedianWindow(const Recording& recording, double hz, long begin, long end) {
    std::vector<double> levels;
    for (long at = begin; at + kWindow <= end; at += kWindow) {
        levels.push_back(recording.ToneLevel(hz, at, kWindow));
    }
    if (levels.empty()) {
        return 0.0;
    }
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return levels[levels.size() / 2];
}

class DesktopSession : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!OnPath("Xvfb") || !OnPath("xdotool")) {
            GTEST_SKIP() << "needs Xvfb and xdotool (packages xvfb, xdotool)";
        }
        m_recording = m_dir.File("out.raw");
        m_display.emplace(m_dir.File("xvfb.log"), kServerBound);
        ASSERT_FALSE(m_display->Name().empty()) << "Xvfb did not start:\n" << Log("xvfb.log");
        m_input.emplace(m_display->Name());
    }

    void TearDown() override {
        if (HasFailure()) {
            std::printf("The program's output:\n%s\n", Log("program.log").c_str());
        }
    }

    std::string Log(const char* name) const {
        std::ifstream file(m_dir.File(name));
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    void StartProgram() {
        // Qt on X talks to D-Bus, whose library leaves memory unreleased at exit when no
        // session bus answers, as on a build machine: its leak, not ours, which a sanitizer
        // build would otherwise make the program's exit status.
        const std::string suppressions = m_dir.File("lsan.supp");
        std::ofstream(suppressions) << "leak:libdbus-1.so\n";
        std::filesystem::create_directory(m_home);
        ChildProcess::Options options;
        // A home of its own, where the program must leave nothing: the places under it are
        // found from HOME alone. The session's runtime directory is one of a desktop's own.
        options.environment = EnvironmentWith(
            {"DISPLAY=" + m_display->Name(), "QT_QPA_PLATFORM=xcb", "SDL_AUDIODRIVER=disk",
             "SDL_DISKAUDIOFILE=" + m_recording, "HOME=" + m_home,
             "XDG_RUNTIME_DIR=" + m_dir.Path(), "LSAN_OPTIONS=suppressions=" + suppressions},
            {"WAYLAND_DISPLAY", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
             "XDG_STATE_HOME"});
        options.outputFile = m_dir.File("program.log");
        m_program = ChildProcess({CORVALINE_PROGRAM}, options);
        ASSERT_TRUE(m_program.Started()) << "cannot start " << CORVALINE_PROGRAM;

        const std::string caption = "^" + RegexQuoted(MainDialogTemplate().caption) + "$";
        ASSERT_TRUE(WaitFor(
            [&] {
                const std::vector<std::string> found = m_input->WindowsNamed(caption);
                m_window = found.empty() ? std::string() : found.front();
                return !m_window.empty() || !m_program.Running();
            },
            kStepBound));
        ASSERT_FALSE(m_window.empty()) << "the window did not appear";
        const std::optional<Xdotool::Size> size = m_input->SizeOf(m_window);
        ASSERT_TRUE(size);
        m_size = *size;
    }

    void Click(int id) {
        ASSERT_TRUE(m_program.Running()) << "the program has ended";
        ASSERT_TRUE(m_input->ClickControl(m_window, m_size, MainDialogTemplate(), id))
            << "no control " << id << " to click";
    }

    // Keys reach a window only once it has the focus: the X server sends them wherever the
    // focus is, and Qt takes its own window's focus from the server's report. A user, too,
    // waits for a window just opened or clicked to become active before typing.
    void WaitForFocus(const std::string& window) {
        ASSERT_TRUE(WaitFor([&] { return m_input->FocusedWindow() == window; }, kStepBound))
            << "the keyboard focus stays away from window " << window;
    }

    // What a user does to give a deck a file: the path typed over the edit's text.
    void EnterPath(const std::string& path) {
        ASSERT_NO_FATAL_FAILURE(Click(IDC_PATH));
        ASSERT_NO_FATAL_FAILURE(WaitForFocus(m_window));
        ASSERT_TRUE(m_input->Key("ctrl+a"));
        ASSERT_TRUE(m_input->Type(path));
    }

    // A window of the program's other than the main one: the file dialog.
    std::string OtherWindow() const {
        for (const std::string& window : m_input->WindowsOf(m_program.Pid())) {
            if (window != m_window) {
                return window;
            }
        }
        return {};
    }

    // A file dialog opened by the control and cancelled with Escape.
    void OpenAndCancelDialog(int id) {
        ASSERT_NO_FATAL_FAILURE(Click(id));
        std::string dialog;
        ASSERT_TRUE(WaitFor([&] { return !(dialog = OtherWindow()).empty(); }, kStepBound))
            << "no file dialog from control " << id;
        ASSERT_NO_FATAL_FAILURE(WaitForFocus(dialog));
        ASSERT_TRUE(m_input->Key("Escape"));
        ASSERT_TRUE(WaitFor([&] { return OtherWindow().empty(); }, kStepBound))
            << "the file dialog of control " << id << " stays open";
    }

    long Recorded() const { return Recording::FramesIn(m_recording); }

    TempDir m_dir;
    std::string m_home = m_dir.File("home");
    std::string m_recording;
    std::optional<VirtualDisplay> m_display;
    std::optional<Xdotool> m_input;
    // Declared after the display: it goes first on the way out.
    ChildProcess m_program;
    std::string m_window;
    Xdotool::Size m_size;
};

TEST_F(DesktopSession, PlaysHandsOverRunsTheTreeAndQuits) {
    const std::string first = m_dir.File("first.wav");
    const std::string second = m_dir.File("second.wav");
    ASSERT_TRUE(WriteWav16(first, kRate, 2, Frames(20), Sine(kFirstHz, kRate, kAmplitude)));
    // Deck 2 plays it on while the playlist is put together, and the run starts from it:
    // it is what the path edit holds when "Execute" is pressed.
    ASSERT_TRUE(WriteWav16(second, kRate, 2, Frames(10), Sine(kSecondHz, kRate, kAmplitude)));
    for (const TreeFile& file : kTree) {
        const std::string path = m_dir.File(std::string("tree/") + file.name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        // Longer than a fade in and a fade out: each ends in silence, not cut off.
        ASSERT_TRUE(WriteWav16(path, kRate, 2, Frames(8), Sine(file.hz, kRate, kAmplitude)));
    }
    // A link from the bottom of the tree back to its top, which the search must not walk.
    std::filesystem::create_directory_symlink(m_dir.File("tree"), m_dir.File("tree/sub/deeper/up"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(OpenAndCancelDialog(IDC_PROCURAR));
    ASSERT_NO_FATAL_FAILURE(OpenAndCancelDialog(IDC_ADICIONAR_FICHEIRO));

    ASSERT_NO_FATAL_FAILURE(EnterPath(first));
    const long playMark = Recorded();
    ASSERT_NO_FATAL_FAILURE(Click(IDC_TOCAR_1));
    long onset = -1;
    ASSERT_TRUE(WaitFor(
        [&] {
            const Recording recording(m_recording);
            onset = recording.FirstSound(0);
            return onset >= 0 && recording.Frames() >= onset + Frames(1.5);
        },
        kStepBound, kRecordingPoll))
        << "deck 1 is not heard";

    ASSERT_NO_FATAL_FAILURE(EnterPath(second));
    const long handOverMark = Recorded();
    ASSERT_NO_FATAL_FAILURE(Click(IDC_OUT_TO_2));

    ASSERT_NO_FATAL_FAILURE(Click(IDC_SUBDIRS));
    ASSERT_NO_FATAL_FAILURE(Click(IDC_ADICIONAR_DIRECTORIO));
    std::string dialog;
    ASSERT_TRUE(WaitFor([&] { return !(dialog = OtherWindow()).empty(); }, kStepBound))
        << "no file dialog";
    // The user names the tree by a file at its top.
    ASSERT_NO_FATAL_FAILURE(WaitForFocus(dialog));
    ASSERT_TRUE(m_input->Type(m_dir.File(kTreeTop)));
    ASSERT_TRUE(m_input->Key("Return"));
    ASSERT_TRUE(WaitFor([&] { return OtherWindow().empty(); }, kStepBound))
        << "the file dialog stays open";

    const long runMark = Recorded();
    ASSERT_NO_FATAL_FAILURE(Click(IDC_EXECUTE));

    // The first tone's level, heard alone, is what every later level is measured against.
    const double reference =
        MedianWindow(Recording(m_recording), kFirstHz, onset + Frames(0.25), handOverMark);
    ASSERT_GT(reference, kAmplitude / 2) << "deck 1 plays its file at " << reference;
    // Played on until every file of the tree has been heard at half that level or more.
    std::array<bool, std::size(kTree)> heard{};
    long scanned = runMark;
    ASSERT_TRUE(WaitFor(
        [&] {
            const Recording recording(m_recording);
            for (; scanned + kWindow <= recording.Frames(); scanned += kWindow) {
                for (std::size_t i = 0; i < heard.size(); ++i) {
                    heard[i] = heard[i] ||
                               recording.ToneLevel(kTree[i].hz, scanned, kWindow) > reference / 2;
                }
            }
            return std::find(heard.begin(), heard.end(), false) == heard.end();
        },
        kRunBound, kRecordingPoll))
        << "not every file of the tree was played";

    const long quitMark = Recorded();
    const auto quitting = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(Click(IDOK));
    const std::optional<int> status = m_program.WaitExit(kExitBound);
    const auto ended = std::chrono::steady_clock::now();
    ASSERT_TRUE(status) << "still running after \"SAIR\"";
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    for (const auto& left : std::filesystem::recursive_directory_iterator(m_home)) {
        ADD_FAILURE() << "left in its home: " << left.path();
    }

    const Recording recording(m_recording);
    // Nothing is heard before deck 1 is told to play. The window in which it starts is left
    // out of the levels that follow: a tone that sets in at full level spreads over every
    // frequency there.
    EXPECT_GE(onset, playMark);
    const long settled = onset + kWindow;
    EXPECT_LT(LoudestWindow(recording, kSecondHz, settled, handOverMark), reference / 100)
        << "the second tone before the hand-over";

    // The hand-over: the first tone falls while the second rises, each over a fade, not a
    // cut, and the first is gone for good afterwards.
    const long end = recording.Frames();
    const long fallStart = Crossing(recording, kFirstHz, handOverMark, end, 0.9 * reference, true);
    const long fallEnd = Crossing(recording, kFirstHz, fallStart, end, 0.1 * reference, true);
    const long riseStart =
        Crossing(recording, kSecondHz, handOverMark, end, 0.1 * reference, false);
    const long riseEnd = Crossing(recording, kSecondHz, riseStart, end, 0.9 * reference, false);
    ASSERT_TRUE(fallStart >= 0 && fallEnd >= 0) << "the first tone does not fall";
    ASSERT_TRUE(riseStart >= 0 && riseEnd >= 0) << "the second tone does not rise";
    EXPECT_GT(Seconds(fallEnd - fallStart), 1.0) << "the first tone is cut, not faded";
    EXPECT_GT(Seconds(riseEnd - riseStart), 1.0) << "the second tone starts, not fades in";
    EXPECT_TRUE(fallStart < riseEnd && riseStart < fallEnd) << "the fades do not overlap";
    EXPECT_LT(LoudestWindow(recording, kFirstHz, fallEnd + Frames(0.5), quitMark), reference / 100)
        << "the first tone comes back";

    // The run plays the tree's files, none of which was heard before.
    for (const TreeFile& file : kTree) {
        EXPECT_LT(LoudestWindow(recording, file.hz, settled, runMark), reference / 100)
            << file.name;
    }

    const long longestQuiet = recording.LongestSilence(onset, quitMark);
    EXPECT_LE(longestQuiet, kLongestQuiet) << "a gap in the sound";

    std::printf("level of the first tone alone %.3f; hand-over heard %.2f s after the click: "
                "first tone 90%%->10%% in %.2f s, second 10%%->90%% in %.2f s; "
                "longest silence %.1f ms; run until quit %.1f s of sound; session %.1f s, "
                "\"SAIR\" to exit %.2f s\n",
                reference, Seconds(std::min(fallStart, riseStart) - handOverMark),
                Seconds(fallEnd - fallStart), Seconds(riseEnd - riseStart),
                1000.0 * Seconds(longestQuiet), Seconds(quitMark - runMark),
                std::chrono::duration<double>(ended - started).count(),
                std::chrono::duration<double>(ended - quitting).count());
}

} // namespace
