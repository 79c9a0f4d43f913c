#include "Recording.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace corvaline::testsupport {

namespace {

constexpr long kBytesPerFrame = 4;

} // namespace

long Recording::FramesIn(const std::string& path) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<long>(bytes / kBytesPerFrame);
}

Recording::Recording(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    const std::size_t frames = bytes.size() / kBytesPerFrame;
    m_samples.resize(frames * 2);
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        m_samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
}

double Recording::ToneLevel(double hz, long begin, long length) const {
    begin = std::max(begin, 0L);
    length = std::min(length, Frames() - begin);
    if (length < 2) {
        return 0.0;
    }
    const double omega = 2.0 * std::numbers::pi * hz / kRate;
    const double coefficient = 2.0 * std::cos(omega);
    double s1 = 0.0, s2 = 0.0, windowSum = 0.0;
    for (long i = 0; i < length; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                                   static_cast<double>(length - 1));
        const std::size_t at = static_cast<std::size_t>(2 * (begin + i));
        const double mid = (m_samples[at] + m_samples[at + 1]) / (2.0 * 32768.0);
        const double s = mid * window + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
        windowSum += window;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / windowSum;
}

bool Recording::Silent(long frame) const {
    const std::size_t at = static_cast<std::size_t>(2 * frame);
    return m_samples[at] == 0 && m_samples[at + 1] == 0;
}

long Recording::FirstSound(long begin) const {
    for (long frame = std::max(begin, 0L); frame < Frames(); ++frame) {
        if (!Silent(frame)) {
            return frame;
        }
    }
    return -1;
}

long Recording::LongestSilence(long begin, long end) const {
    long longest = 0, run = 0;
    for (long frame = std::max(begin, 0L); frame < std::min(end, Frames()); ++frame) {
        run = Silent(frame) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace corvaline::testsupport
