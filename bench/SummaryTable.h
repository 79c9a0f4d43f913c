#pragma once

#include <string>
#include <vector>

namespace corvaline::bench {

struct SummaryRow {
    std::string measure;
    std::string figure;
    std::string target;  // empty: shown for comparison only
    std::string verdict; // PASS, MISS, or empty
};

// Verdict of a measured figure against its target; "n/a" when nothing was measured.
std::string Verdict(bool measured, bool met);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

void PrintSummary(const std::vector<SummaryRow>& rows, const std::vector<std::string>& notes,
                  const std::string& title = "Corvaline sound library");

} // namespace corvaline::bench
