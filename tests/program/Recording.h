// What SDL's disk output recorded of a program's sound: 44100 Hz, 16-bit signed
// little-endian stereo, the layout the README gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvaline::testsupport {

class Recording {
  public:
    static constexpr int kRate = 44100;

    // Frames written so far, without reading them: the file's size.
    static long FramesIn(const std::string& path);

    // Reads what is there now; a file still being written may end in part of a frame,
    // which is left out.
    explicit Recording(const std::string& path);

    long Frames() const { return static_cast<long>(m_samples.size() / 2); }

    // The amplitude (a fraction of full scale) of a sine of that frequency in the mid signal
    // of frames [begin, begin + length): a Goertzel filter behind a Hann window, which keeps
    // tones a few hundred hertz apart from reading in each other's level.
    double ToneLevel(double hz, long begin, long length) const;
    // The first frame from `begin` on that is not silent on both channels, or -1.
    long FirstSound(long begin) const;
    // The longest run of frames in [begin, end) that are exactly zero on both channels.
    long LongestSilence(long begin, long end) const;

  private:
    bool Silent(long frame) const;

    std::vector<std::int16_t> m_samples; // interleaved left, right
};

} // namespace corvaline::testsupport
