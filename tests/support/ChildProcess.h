// Programs that a test starts and owns: the X server, the player and the input tool. A child
// still running when its owner goes is killed and reaped, so that a failed assertion leaves
// no process behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvaline::testsupport {

// This process's environment with `overrides` ("NAME=value") put in place of the variables
// of the same names and the variables named in `removed` left out.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides,
                                         const std::vector<std::string>& removed = {});

// Whether a program of that name is on PATH.
bool OnPath(const std::string& program);

class ChildProcess {
  public:
    struct Options {
        std::vector<std::string> environment; // the whole environment; empty for this process's
        std::string outputFile;               // stdout and stderr; empty leaves both as they are
        int captureFd = -1;                   // stdout to this pipe end instead
        int keepFd = -1;                      // inherited under its own number
        std::string directory;                // where it starts; empty for this process's
    };

    ChildProcess() = default;
    // argv[0] without a '/' is looked up on PATH. Started() tells whether it could start.
    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    bool Running();
    // The wait status once it has ended, within `bound`; nothing while it still runs.
    std::optional<int> WaitExit(std::chrono::milliseconds bound);
    // Asks it to end (SIGTERM), and kills it when it has not within `bound`.
    void Terminate(std::chrono::milliseconds bound);
    void Kill();

  private:
    pid_t m_pid = -1;
};

// Reads the pipe end `fd` into `text` until `enough` says the text suffices, the writer closes
// it, or `deadline` passes; false in the last case or on an error.
bool ReadPipe(int fd, std::chrono::steady_clock::time_point deadline, std::string& text,
              const std::function<bool(const std::string&)>& enough = {});

// Runs a short-lived program to its end: its output when it exited with status 0 within
// `bound`, nothing otherwise (it is killed once the bound has passed).
std::optional<std::string> RunForOutput(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& environment,
                                        std::chrono::milliseconds bound);

} // namespace corvaline::testsupport
