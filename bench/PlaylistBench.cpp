// The playlist at scale, through the real window offscreen: "Adicionar directorio" with
// "SubDirs" over a generated tree of 100,000 files, timed beside `find` walking the same
// tree; "Randomize" of 100,000 entries; and the resident memory with those entries held.

#include "CorvalineApp.h"
#include "CorvalineDlg.h"
#include "ProcessMemory.h"
#include "SummaryTable.h"
#include "fsound.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

CCorvalineApp theApp;

extern char** environ;

namespace corvaline::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTopDirectories = 10;
constexpr int kInnerDirectories = 99; // per top directory: 10 + 990 = 1,000 directories
constexpr int kFilesPerDirectory = 100;
constexpr int kPlayablePerDirectory = 10;
constexpr int kRuns = 5;
constexpr double kAddTargetRatio = 1.5;
constexpr double kShuffleTargetMs = 50.0;
constexpr double kResidentTargetMb = 100.0;
constexpr int kAddDirectoryButton = 1026;
constexpr int kSubDirsBox = 1027;
constexpr int kRandomizeButton = 1028;
constexpr int kClearButton = 1032;

class BenchWindow : public CCorvalineDlg {
  public:
    std::size_t Entries() const { return m_sequence.size(); }
    int Lines() { return m_sequenceList.GetCount(); }
};

// Names as a music collection has them; a tenth of each directory is playable, in mixed case.
void WriteDirectory(const fs::path& directory) {
    static const char* const kOther[] = {".jpg", ".txt", ".cue", ".log", ".nfo", ".m3u"};
    static const char* const kPlayable[] = {".mp3", ".WAV", ".Mp2", ".mp3", ".wav"};
    fs::create_directories(directory);
    for (int i = 0; i < kFilesPerDirectory; ++i) {
        char name[64];
        if (i % (kFilesPerDirectory / kPlayablePerDirectory) == 0)
            std::snprintf(name, sizeof name, "%02d - Track number %d%s", i, i, kPlayable[i % 5]);
        else
            std::snprintf(name, sizeof name, "extra %03d%s", i, kOther[i % 6]);
        const int fd = open((directory / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            close(fd);
    }
}

// Made once and kept beside the build: writing 100,000 files takes a while.
fs::path Tree() {
    const fs::path root = fs::path(CORVALINE_BENCH_DATA_DIR) / "playlist-tree";
    const fs::path complete = root / ".complete";
    if (fs::exists(complete))
        return root;
    std::error_code ignored;
    fs::remove_all(root, ignored);
    std::printf("Writing the tree of %d files under %s...\n",
                kTopDirectories * (1 + kInnerDirectories) * kFilesPerDirectory, root.c_str());
    for (int top = 0; top < kTopDirectories; ++top) {
        const fs::path artist = root / ("Artist " + std::to_string(top));
        WriteDirectory(artist);
        for (int inner = 0; inner < kInnerDirectories; ++inner)
            WriteDirectory(artist / ("Album " + std::to_string(inner)));
    }
    std::ofstream(root / "start.mp3").flush();
    std::ofstream(complete).flush();
    return root;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// `find` printing every path of the tree, as a walk of it costs the system's own tool.
std::optional<double> TimeFind(const fs::path& root) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "find";
    std::string path = root.string();
    char* argv[] = {program.data(), path.data(), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "find", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return MsSince(start);
}

// A click on a control, and whatever the window then has to draw.
double TimeClick(BenchWindow& window, int controlId) {
    QWidget* control = window.FindControl(controlId);
    const auto start = Clock::now();
    QTest::mouseClick(control, Qt::LeftButton);
    QApplication::processEvents();
    return MsSince(start);
}

int Run() {
    const fs::path root = Tree();
    const std::string chosen = (root / "start.mp3").string();
    AfxSetFileDialogAnswer([&](const FileDialogRequest&) { return chosen; });

    FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL);
    BenchWindow window;
    if (!window.Create()) {
        std::fprintf(stderr, "The window did not open\n");
        return 1;
    }
    window.KillTimer(101);
    QTest::mouseClick(window.FindControl(kSubDirsBox), Qt::LeftButton);

    // One walk of each first, so that both find the tree in the page cache.
    TimeFind(root);
    TimeClick(window, kAddDirectoryButton);
    const std::size_t perAdd = window.Entries();

    std::vector<double> findMs;
    std::vector<double> addMs;
    bool findRan = true;
    for (int run = 0; run < kRuns; ++run) {
        const auto found = TimeFind(root);
        findRan = findRan && found.has_value();
        if (found)
            findMs.push_back(*found);
        TimeClick(window, kClearButton);
        addMs.push_back(TimeClick(window, kAddDirectoryButton));
    }

    // Ten adds make the 100,000 entries of a large playlist; the last adds go onto a long list.
    std::vector<double> longAddMs;
    while (window.Entries() < 100000)
        longAddMs.push_back(TimeClick(window, kAddDirectoryButton));
    std::vector<double> shuffleMs;
    for (int run = 0; run < kRuns; ++run)
        shuffleMs.push_back(TimeClick(window, kRandomizeButton));
    const double residentMb = testsupport::ResidentMb();
    const std::size_t entries = window.Entries();
    const int lines = window.Lines();

    const double find = Median(findMs);
    const double add = Median(addMs);
    const double ratio = find > 0 ? add / find : 0.0;
    const double shuffle = Median(shuffleMs);
    std::vector<SummaryRow> rows = {
        {"find over the tree (median of 5)", findRan ? Format("%.1f ms", find) : "n/a", "", ""},
        {Format("Adicionar directorio, SubDirs (%zu entries)", perAdd), Format("%.1f ms", add),
         "", ""},
        {"  add / find", findRan ? Format("%.2f x", ratio) : "n/a",
         Format("< %.1f x", kAddTargetRatio), Verdict(findRan, ratio < kAddTargetRatio)},
        {"  the same add onto a list of 90,000 lines",
         Format("%.1f ms", longAddMs.empty() ? 0.0 : longAddMs.back()), "", ""},
        {Format("Randomize of %zu entries (median of 5)", entries), Format("%.1f ms", shuffle),
         Format("< %.0f ms", kShuffleTargetMs), Verdict(true, shuffle < kShuffleTargetMs)},
        {Format("Resident memory with %zu entries, %d lines", entries, lines),
         Format("%.1f MB", residentMb), Format("< %.0f MB", kResidentTargetMb),
         Verdict(residentMb > 0, residentMb < kResidentTargetMb)},
    };
    const std::vector<std::string> notes = {
        Format("Tree: %d directories of %d files, a tenth playable, under %s",
               kTopDirectories * (1 + kInnerDirectories), kFilesPerDirectory, root.c_str()),
        "Times include the window's redrawing after the click; find writes to /dev/null.",
    };
    PrintSummary(rows, notes, "Corvaline playlist");

    AfxSetFileDialogAnswer({});
    window.DestroyWindow();
    return 0;
}

} // namespace
} // namespace corvaline::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return corvaline::bench::Run();
}
