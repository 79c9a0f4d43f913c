#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace corvaline::bench {

// Starts a program found on PATH with its output thrown away; -1 if it cannot start.
pid_t SpawnQuiet(const std::vector<std::string>& argv);

struct ChildExit {
    bool succeeded = false; // exited with status 0
    double cpuSeconds = 0;  // user + system time of the child and what it waited for
};

ChildExit WaitChild(pid_t pid);

} // namespace corvaline::bench
