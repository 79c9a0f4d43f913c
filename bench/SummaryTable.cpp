#include "SummaryTable.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace corvaline::bench {

std::string Verdict(bool measured, bool met) {
    if (!measured) {
        return "n/a";
    }
    return met ? "PASS" : "MISS";
}

std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

void PrintSummary(const std::vector<SummaryRow>& rows, const std::vector<std::string>& notes,
                  const std::string& title) {
    std::size_t measureWidth = 7, figureWidth = 6, targetWidth = 6;
    for (const SummaryRow& row : rows) {
        measureWidth = std::max(measureWidth, row.measure.size());
        figureWidth = std::max(figureWidth, row.figure.size());
        targetWidth = std::max(targetWidth, row.target.size());
    }
    auto line = [&](const std::string& measure, const std::string& figure,
                    const std::string& target, const std::string& verdict) {
        std::printf("%-*s  %*s  %-*s  %s\n", static_cast<int>(measureWidth), measure.c_str(),
                    static_cast<int>(figureWidth), figure.c_str(), static_cast<int>(targetWidth),
                    target.c_str(), verdict.c_str());
    };
    std::printf("\n%s\n", title.c_str());
    line("measure", "figure", "target", "result");
    line(std::string(measureWidth, '-'), std::string(figureWidth, '-'),
         std::string(targetWidth, '-'), "------");
    for (const SummaryRow& row : rows) {
        line(row.measure, row.figure, row.target.empty() ? "-" : row.target, row.verdict);
    }
    for (const std::string& note : notes) {
        std::printf("note: %s\n", note.c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace corvaline::bench
