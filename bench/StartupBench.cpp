// Start-up of the real program: time from process start to the window's first paint, and
// the resident memory of the idle window a second later. The program runs offscreen with
// SDL's dummy audio driver; its build with the start-up probes (another build given in its
// place needs them too) reports its first paint on stdout when asked to.

#include "ProcessMemory.h"
#include "SummaryTable.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace corvaline::bench {
namespace {

constexpr int kRuns = 5;
constexpr double kFirstPaintTargetMs = 300.0;
constexpr double kResidentTargetMb = 60.0;
constexpr auto kIdleTime = std::chrono::seconds(1);
constexpr int kFirstPaintTimeoutMs = 20000;

struct Startup {
    bool ok = false;
    double firstPaintMs = 0;
    double residentMb = 0;
    std::string note;
};

long long SteadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<char*> ChildEnvironment(std::vector<std::string>& storage) {
    const std::string overridden[] = {"QT_QPA_PLATFORM", "SDL_AUDIODRIVER",
                                      "AFX_REPORT_FIRST_PAINT", "AFX_SCREENSHOT"};
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced =
            std::any_of(std::begin(overridden), std::end(overridden),
                        [&](const std::string& name) { return entry.rfind(name + "=", 0) == 0; });
        if (!replaced) {
            storage.push_back(entry);
        }
    }
    storage.push_back("QT_QPA_PLATFORM=offscreen");
    storage.push_back("SDL_AUDIODRIVER=dummy");
    storage.push_back("AFX_REPORT_FIRST_PAINT=1");
    std::vector<char*> env;
    for (std::string& entry : storage) {
        env.push_back(entry.data());
    }
    env.push_back(nullptr);
    return env;
}

// The first "first-paint <ns>" line the child prints, or -1 on timeout or end of output.
long long ReadFirstPaint(int fd) {
    std::string text;
    const long long deadline = SteadyNowNs() + kFirstPaintTimeoutMs * 1000000LL;
    for (;;) {
        if (const auto at = text.find("first-paint "); at != std::string::npos) {
            const auto end = text.find('\n', at);
            if (end != std::string::npos) {
                return std::atoll(text.c_str() + at + 12);
            }
        }
        const long long left = (deadline - SteadyNowNs()) / 1000000;
        if (left <= 0) {
            return -1;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return -1;
        }
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return -1;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

Startup RunOnce(const std::string& program) {
    Startup result;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        result.note = "no pipe";
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> storage;
    std::vector<char*> env = ChildEnvironment(storage);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    pid_t pid = -1;
    const long long startNs = SteadyNowNs();
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (error != 0) {
        close(out[0]);
        result.note = "cannot start " + program;
        return result;
    }

    const long long paintNs = ReadFirstPaint(out[0]);
    if (paintNs < 0) {
        result.note = "no first paint reported";
    } else {
        std::this_thread::sleep_for(kIdleTime);
        result.residentMb = testsupport::ResidentMb(pid);
        result.firstPaintMs = static_cast<double>(paintNs - startNs) / 1e6;
        result.ok = result.residentMb > 0;
        if (!result.ok) {
            result.note = "the window was gone before its memory could be read";
        }
    }
    // SDL takes SIGTERM as a quit request that a dialog program never reads.
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    close(out[0]);
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace
} // namespace corvaline::bench

int main(int argc, char** argv) {
    using namespace corvaline::bench;
    const std::string program = argc > 1 ? argv[1] : CORVALINE_PROGRAM;

    std::vector<double> paints, residents;
    std::vector<std::string> notes;
    for (int run = 0; run < kRuns; ++run) {
        const Startup s = RunOnce(program);
        if (!s.ok) {
            notes.push_back(Format("run %d: %s", run + 1, s.note.c_str()));
            continue;
        }
        paints.push_back(s.firstPaintMs);
        residents.push_back(s.residentMb);
    }

    const bool measured = !paints.empty();
    const double paint = measured ? Median(paints) : 0;
    const double resident = measured ? Median(residents) : 0;
    const double slowest = measured ? *std::max_element(paints.begin(), paints.end()) : 0;
    std::vector<SummaryRow> rows{
        {Format("first paint after process start, median of %d", kRuns),
         measured ? Format("%.0f ms", paint) : "failed", Format("< %.0f ms", kFirstPaintTargetMs),
         Verdict(measured, paint < kFirstPaintTargetMs)},
        {"first paint after process start, slowest run",
         measured ? Format("%.0f ms", slowest) : "failed", "", ""},
        {"resident memory (VmRSS) of the idle window after 1 s",
         measured ? Format("%.1f MB", resident) : "failed", Format("< %.0f MB", kResidentTargetMb),
         Verdict(measured, resident < kResidentTargetMb)},
    };
    notes.push_back("offscreen Qt platform, SDL dummy audio driver; MB = 2^20 bytes");
    PrintSummary(rows, notes, "Corvaline start-up");
    return measured ? 0 : 1;
}
