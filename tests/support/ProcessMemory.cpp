#include "ProcessMemory.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace corvaline::testsupport {

double ResidentMb(pid_t pid) {
    std::ifstream status(pid == 0 ? std::string("/proc/self/status")
                                  : "/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    return -1;
}

} // namespace corvaline::testsupport
