#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace corvaline::testsupport {

namespace {

using Clock = std::chrono::steady_clock;

std::string NameOf(const std::string& variable) {
    return variable.substr(0, variable.find('='));
}

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const std::string& s : strings) {
        pointers.push_back(const_cast<char*>(s.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides,
                                         const std::vector<std::string>& removed) {
    std::vector<std::string> names = removed;
    for (const std::string& variable : overrides) {
        names.push_back(NameOf(variable));
    }
    std::vector<std::string> result;
    for (char** at = environ; *at != nullptr; ++at) {
        const std::string variable = *at;
        if (std::find(names.begin(), names.end(), NameOf(variable)) == names.end()) {
            result.push_back(variable);
        }
    }
    result.insert(result.end(), overrides.begin(), overrides.end());
    return result;
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= directories.size()) {
        const std::size_t end = std::min(directories.find(':', at), directories.size());
        const std::string candidate = directories.substr(at, end - at) + "/" + program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        at = end + 1;
    }
    return false;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.captureFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.captureFd, STDOUT_FILENO);
    }
    if (!options.outputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.outputFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    if (!options.directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
    }
    // A descriptor passed on must not be closed on exec; a duplicate of it is not.
    int kept = -1;
    if (options.keepFd >= 0) {
        kept = fcntl(options.keepFd, F_GETFD);
        fcntl(options.keepFd, F_SETFD, 0);
    }
    const std::vector<std::string> environment =
        options.environment.empty() ? EnvironmentWith({}) : options.environment;
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> env = Pointers(environment);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (kept >= 0) {
        fcntl(options.keepFd, F_SETFD, kept);
    }
    m_pid = error == 0 ? pid : -1;
}

ChildProcess::~ChildProcess() {
    Kill();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : m_pid(other.m_pid) {
    other.m_pid = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        m_pid = other.m_pid;
        other.m_pid = -1;
    }
    return *this;
}

bool ChildProcess::Running() {
    return Started() && !WaitExit(std::chrono::milliseconds(0));
}

std::optional<int> ChildProcess::WaitExit(std::chrono::milliseconds bound) {
    if (!Started()) {
        return std::nullopt;
    }
    const auto deadline = Clock::now() + bound;
    for (;;) {
        int status = 0;
        const pid_t waited = waitpid(m_pid, &status, WNOHANG);
        if (waited == m_pid) {
            m_pid = -1;
            return status;
        }
        if (waited < 0 && errno != EINTR) {
            m_pid = -1;
            return std::nullopt;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ChildProcess::Terminate(std::chrono::milliseconds bound) {
    if (Started() && kill(m_pid, SIGTERM) == 0) {
        WaitExit(bound);
    }
    Kill();
}

void ChildProcess::Kill() {
    if (!Started()) {
        return;
    }
    // SIGKILL: SDL takes SIGTERM as a quit request, which a dialog program never reads.
    kill(m_pid, SIGKILL);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}

bool ReadPipe(int fd, std::chrono::steady_clock::time_point deadline, std::string& text,
              const std::function<bool(const std::string&)>& enough) {
    while (!enough || !enough(text)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd readable{fd, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> RunForOutput(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& environment,
                                        std::chrono::milliseconds bound) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    ChildProcess child(argv, {environment, {}, pipeFds[1], -1, {}});
    close(pipeFds[1]);
    const auto deadline = Clock::now() + bound;
    std::string output;
    const bool ended = child.Started() && ReadPipe(pipeFds[0], deadline, output);
    close(pipeFds[0]);
    if (!ended) {
        return std::nullopt;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(deadline - Clock::now(), Clock::duration::zero()));
    const std::optional<int> status = child.WaitExit(left);
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        return std::nullopt;
    }
    return output;
}

} // namespace corvaline::testsupport
