// The playlist at scale, through the real window offscreen: "Adicionar directorio" with
// "SubDirs" over a generated tree of 100,000 files, timed beside `find` walking the same
// tree and beside a drop of the tree's folder on the list; over trees of awkward shapes
// (links with many routes to one directory, nesting thousands of levels deep, a link into
// /sys), timed beside `find -L`; "Randomize" of 100,000 entries; and the resident memory with
// those entries held.

#include "CorvalineApp.h"
#include "CorvalineDlg.h"
#include "ProcessMemory.h"
#include "Resources.h"
#include "SummaryTable.h"
#include "fsound.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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
// Each directory of the chain holds two links to the next: 2^18 routes to the bottom.
constexpr int kLinkLevels = 18;
constexpr int kNestingLevels = 2000;
// For a walk that `find` does not finish; one that takes seconds is timed once, cold.
constexpr int kFindDeadlineMs = 30000;
constexpr double kLongFindMs = 2000.0;
constexpr double kUnfinishedTargetMs = 1000.0;
constexpr double kDropTargetRatio = 1.1;
constexpr double kShuffleTargetMs = 50.0;
constexpr double kResidentTargetMb = 100.0;

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
        if (i % (kFilesPerDirectory / kPlayablePerDirectory) == 0) {
            std::snprintf(name, sizeof name, "%02d - Track number %d%s", i, i, kPlayable[i % 5]);
        } else {
            std::snprintf(name, sizeof name, "extra %03d%s", i, kOther[i % 6]);
        }
        const int fd = open((directory / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            close(fd);
        }
    }
}

// The trees are made once and kept beside the build: writing 100,000 files takes a while.
// True when an earlier run made `root` whole; otherwise what it left is cleared away.
bool MadeBefore(const fs::path& root) {
    if (fs::exists(root / ".complete")) {
        return true;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::create_directories(root);
    return false;
}

// Marks `root` whole, with the file at `top` that is chosen to name its top directory.
fs::path MarkMade(const fs::path& root, const fs::path& top) {
    std::ofstream(top / "start.mp3").flush();
    std::ofstream(root / ".complete").flush();
    return top;
}

fs::path Tree() {
    const fs::path root = fs::path(CORVALINE_BENCH_DATA_DIR) / "playlist-tree";
    if (MadeBefore(root)) {
        return root;
    }
    std::printf("Writing the tree of %d files under %s...\n",
                kTopDirectories * (1 + kInnerDirectories) * kFilesPerDirectory, root.c_str());
    for (int top = 0; top < kTopDirectories; ++top) {
        const fs::path artist = root / ("Artist " + std::to_string(top));
        WriteDirectory(artist);
        for (int inner = 0; inner < kInnerDirectories; ++inner) {
            WriteDirectory(artist / ("Album " + std::to_string(inner)));
        }
    }
    return MarkMade(root, root);
}

// A tree whose top holds two links to the first directory of a chain kept beside it, each of
// which holds two links to the next; the last one holds a file.
fs::path LinkTree() {
    const fs::path root = fs::path(CORVALINE_BENCH_DATA_DIR) / "walk-links";
    const fs::path top = root / "top";
    if (MadeBefore(root)) {
        return top;
    }
    fs::create_directories(top);
    fs::path from = top;
    for (int level = 1; level <= kLinkLevels; ++level) {
        const fs::path to = root / "chain" / std::to_string(level);
        fs::create_directories(to);
        fs::create_directory_symlink(to, from / "a");
        fs::create_directory_symlink(to, from / "b");
        from = to;
    }
    std::ofstream(from / "bottom.mp3").flush();
    return MarkMade(root, top);
}

// A directory at each level, holding a file and the next level. Made through descriptors, so
// that the depth is not bounded by the length of a path.
fs::path DeepTree() {
    const fs::path top = fs::path(CORVALINE_BENCH_DATA_DIR) / "walk-deep";
    if (MadeBefore(top)) {
        return top;
    }
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < kNestingLevels && fd >= 0; ++level) {
        mkdirat(fd, "d", 0755);
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        if (fd >= 0) {
            close(openat(fd, "level.mp3", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        }
    }
    if (fd >= 0) {
        close(fd);
    }
    return MarkMade(top, top);
}

// A few albums and a link into /sys, as a link to a mounted device's folder may lead there.
fs::path SysTree() {
    const fs::path top = fs::path(CORVALINE_BENCH_DATA_DIR) / "walk-sys";
    if (MadeBefore(top)) {
        return top;
    }
    for (int album = 0; album < 10; ++album) {
        WriteDirectory(top / ("Album " + std::to_string(album)));
    }
    fs::create_directory_symlink("/sys", top / "sys");
    return MarkMade(top, top);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// `find` printing every path of the tree, as a walk of it costs the system's own tool;
// with `followLinks`, `find -L`. Nothing when it fails, or is still walking at the deadline.
std::optional<double> TimeFind(const fs::path& root, bool followLinks = false) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // Loops that `find -L` meets are reported on its error output, and in its status.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "find";
    std::string follow = "-L";
    std::string path = root.string();
    std::vector<char*> argv = {program.data()};
    if (followLinks) {
        argv.push_back(follow.data());
    }
    argv.push_back(path.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return std::nullopt;
    }
    const int exited = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    pollfd wait{exited, POLLIN, 0};
    const bool finished = exited >= 0 && poll(&wait, 1, kFindDeadlineMs) == 1;
    const double ms = MsSince(start);
    if (exited >= 0) {
        close(exited);
    }
    if (!finished) {
        kill(pid, SIGKILL);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !finished || !WIFEXITED(status) ||
        (!followLinks && WEXITSTATUS(status) != 0)) {
        return std::nullopt;
    }
    return ms;
}

// A click on a control, and whatever the window then has to draw.
double TimeClick(BenchWindow& window, int controlId) {
    QWidget* control = window.FindControl(controlId);
    const auto start = Clock::now();
    QTest::mouseClick(control, Qt::LeftButton);
    QApplication::processEvents();
    return MsSince(start);
}

// "Adicionar directorio" of a tree of an awkward shape beside `find -L` on it: within the
// ratio where `find` finishes, under a second where it does not.
void CompareWithFindL(BenchWindow& window, std::string& chosen, const char* shape,
                      const fs::path& top, std::vector<SummaryRow>& rows) {
    chosen = (top / "start.mp3").string();
    // Once each first, for the page cache; `find` again only if it finished soon.
    const std::optional<double> first = TimeFind(top, true);
    bool findRan = first.has_value();
    const bool repeatFind = findRan && *first < kLongFindMs;
    std::vector<double> findMs;
    if (findRan && !repeatFind) {
        findMs.push_back(*first);
    }
    TimeClick(window, IDC_CLEAR);
    TimeClick(window, IDC_ADICIONAR_DIRECTORIO);
    std::vector<double> addMs;
    for (int run = 0; run < kRuns; ++run) {
        if (repeatFind && findRan) {
            const auto found = TimeFind(top, true);
            findRan = found.has_value();
            if (found) {
                findMs.push_back(*found);
            }
        }
        TimeClick(window, IDC_CLEAR);
        addMs.push_back(TimeClick(window, IDC_ADICIONAR_DIRECTORIO));
    }
    const double find = Median(findMs);
    const double add = Median(addMs);
    const double ratio = find > 0 ? add / find : 0.0;
    rows.push_back(
        {Format("%s: find -L", shape),
         findRan ? Format("%.1f ms", find) : Format("unfinished at %d s", kFindDeadlineMs / 1000),
         "", ""});
    rows.push_back({Format("  Adicionar directorio, SubDirs (%d lines)", window.Lines()),
                    Format("%.1f ms", add), "", ""});
    if (findRan) {
        rows.push_back({"  add / find -L", Format("%.2g x", ratio),
                        Format("< %.1f x", kAddTargetRatio),
                        Verdict(true, ratio < kAddTargetRatio)});
    } else {
        rows.push_back({"  add, find -L unfinished", Format("%.1f ms", add),
                        Format("< %.0f ms", kUnfinishedTargetMs),
                        Verdict(true, add < kUnfinishedTargetMs)});
    }
    TimeClick(window, IDC_CLEAR);
}

// A file manager's drop of a folder on the sequence list, until the window has taken it.
double TimeDrop(BenchWindow& window, const fs::path& folder) {
    QWidget* viewport =
        static_cast<QAbstractScrollArea*>(window.FindControl(IDC_SEQUENCE_GRID))->viewport();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
    const QPointF at = viewport->rect().center();
    const auto start = Clock::now();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QApplication::processEvents();
    return MsSince(start);
}

int Run() {
    const fs::path root = Tree();
    std::string chosen = (root / "start.mp3").string();
    AfxSetFileDialogAnswer([&](const FileDialogRequest&) { return chosen; });

    FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL);
    BenchWindow window;
    if (!window.Create()) {
        std::fprintf(stderr, "The window did not open\n");
        return 1;
    }
    window.KillTimer(101);
    QTest::mouseClick(window.FindControl(IDC_SUBDIRS), Qt::LeftButton);

    // One walk of each first, so that both find the tree in the page cache.
    TimeFind(root);
    TimeClick(window, IDC_ADICIONAR_DIRECTORIO);
    const std::size_t perAdd = window.Entries();

    std::vector<double> findMs;
    std::vector<double> addMs;
    std::vector<double> dropMs;
    bool findRan = true;
    bool dropsAdded = true;
    for (int run = 0; run < kRuns; ++run) {
        const auto found = TimeFind(root);
        findRan = findRan && found.has_value();
        if (found) {
            findMs.push_back(*found);
        }
        TimeClick(window, IDC_CLEAR);
        addMs.push_back(TimeClick(window, IDC_ADICIONAR_DIRECTORIO));
        TimeClick(window, IDC_CLEAR);
        dropMs.push_back(TimeDrop(window, root));
        dropsAdded = dropsAdded && window.Entries() == perAdd;
    }

    // Ten adds make the 100,000 entries of a large playlist; the last adds go onto a long list.
    std::vector<double> longAddMs;
    while (window.Entries() < 100000) {
        longAddMs.push_back(TimeClick(window, IDC_ADICIONAR_DIRECTORIO));
    }
    std::vector<double> shuffleMs;
    for (int run = 0; run < kRuns; ++run) {
        shuffleMs.push_back(TimeClick(window, IDC_RANDOMIZE));
    }
    const double residentMb = testsupport::ResidentMb();
    const std::size_t entries = window.Entries();
    const int lines = window.Lines();

    const double find = Median(findMs);
    const double add = Median(addMs);
    const double ratio = find > 0 ? add / find : 0.0;
    const double shuffle = Median(shuffleMs);
    const double dropRatio = add > 0 ? Median(dropMs) / add : 0.0;
    std::vector<SummaryRow> rows = {
        {"find over the tree (median of 5)", findRan ? Format("%.1f ms", find) : "n/a", "", ""},
        {Format("Adicionar directorio, SubDirs (%zu entries)", perAdd), Format("%.1f ms", add), "",
         ""},
        {"  add / find", findRan ? Format("%.2f x", ratio) : "n/a",
         Format("< %.1f x", kAddTargetRatio), Verdict(findRan, ratio < kAddTargetRatio)},
        {"  the same folder dropped on the list", Format("%.1f ms", Median(dropMs)), "", ""},
        {"  drop / add", dropsAdded ? Format("%.2f x", dropRatio) : "not all added",
         Format("< %.1f x", kDropTargetRatio), Verdict(dropsAdded, dropRatio < kDropTargetRatio)},
        {"  the same add onto a list of 90,000 lines",
         Format("%.1f ms", longAddMs.empty() ? 0.0 : longAddMs.back()), "", ""},
        {Format("Randomize of %zu entries (median of 5)", entries), Format("%.1f ms", shuffle),
         Format("< %.0f ms", kShuffleTargetMs), Verdict(true, shuffle < kShuffleTargetMs)},
        {Format("Resident memory with %zu entries, %d lines", entries, lines),
         Format("%.1f MB", residentMb), Format("< %.0f MB", kResidentTargetMb),
         Verdict(residentMb > 0, residentMb < kResidentTargetMb)},
    };
    TimeClick(window, IDC_CLEAR);
    CompareWithFindL(window, chosen, Format("Links, 2^%d routes to one file", kLinkLevels).c_str(),
                     LinkTree(), rows);
    CompareWithFindL(window, chosen, Format("Nesting %d levels deep", kNestingLevels).c_str(),
                     DeepTree(), rows);
    CompareWithFindL(window, chosen, "A link into /sys", SysTree(), rows);
    const std::vector<std::string> notes = {
        Format("Tree: %d directories of %d files, a tenth playable, under %s",
               kTopDirectories * (1 + kInnerDirectories), kFilesPerDirectory, root.c_str()),
        "Times include the window's redrawing after the click; find writes to /dev/null.",
        Format("find -L is stopped after %d s, and timed once when it takes seconds.",
               kFindDeadlineMs / 1000),
    };
    PrintSummary(rows, notes, "Corvaline playlist");

    AfxSetFileDialogAnswer({});
    window.DestroyWindow();
    return 0;
}

} // namespace
} // namespace corvaline::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    return corvaline::bench::Run();
}
