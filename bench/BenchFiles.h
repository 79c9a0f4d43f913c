#pragma once

#include <string>

namespace corvaline::bench {

struct BenchFiles {
    std::string musicA;         // 44.1 kHz stereo VBR MP3, five minutes
    std::string musicB;         // the same with another seed: the second deck
    std::string music48k;       // 48 kHz stereo MP3, five minutes: played through the resampler
    std::string longVbr;        // 44.1 kHz stereo VBR MP3, ten minutes: opening cost
    std::string longVbrNoTable; // the same without its Xing frame: opened by a header scan
};

// Writes the files into dir unless an earlier run left them there. Returns false
// (with a message on stderr) when one could not be written.
bool PrepareBenchFiles(const std::string& dir, BenchFiles& files);

// The files of the current run, for the micro benchmarks.
const BenchFiles& CurrentBenchFiles();

// Length of a file in seconds of its own time, as libsndfile reads it; 0 if unreadable.
double FileSeconds(const std::string& path);

} // namespace corvaline::bench
