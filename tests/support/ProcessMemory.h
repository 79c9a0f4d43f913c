// What a process holds in memory, for tests and benchmarks that watch it.
#pragma once

#include <sys/types.h>

namespace corvaline::testsupport {

// Resident memory (VmRSS) of a process, this one by default, in MiB; -1 when unknown.
double ResidentMb(pid_t pid = 0);

} // namespace corvaline::testsupport
