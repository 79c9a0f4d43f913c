#pragma once

#include <string>
#include <vector>

namespace corvaline::bench {

// Seconds of file audio processed (summed over the files) against the CPU time it took.
struct Throughput {
    bool ok = false;
    std::string note; // why it failed, or what looked wrong while it ran
    double audioSeconds = 0;
    double cpuSeconds = 0;

    double AudioPerCpu() const { return cpuSeconds > 0 ? audioSeconds / cpuSeconds : 0; }
};

// The whole chain in MANUAL output: each file on its own channel, played to the end.
// Without units, what is left is the streams' decoding and the mixer.
Throughput ChainThroughput(const std::vector<std::string>& files, bool withUnits = true);

// The library's stream decoder alone reading each file to the end, as its feeder
// does: 44.1 kHz stereo float, before the ring and the mixer.
Throughput StreamDecodeThroughput(const std::vector<std::string>& files);

// libsndfile alone reading each file to the end as float: the floor under any player.
// With `resampleTo44k`, files at other rates also go through soxr at the quality the
// player uses: the floor for a file that must be resampled.
Throughput DecodeThroughput(const std::vector<std::string>& files, bool resampleTo44k = false);

// `sox -m a b -t null -`: a general-purpose tool decoding and mixing the same pair.
Throughput SoxMixThroughput(const std::string& a, const std::string& b);

// `mpg123 -t`: the reference MPEG decoder's own program decoding the file, output unused.
Throughput Mpg123Throughput(const std::string& file);

} // namespace corvaline::bench
