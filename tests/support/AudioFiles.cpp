#include "AudioFiles.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace corvaline::testsupport {

namespace {

constexpr long kChunkFrames = 4096;

using Configure = std::function<bool(SNDFILE*)>;

bool IsPcm16(int sfFormat) {
    const int major = sfFormat & SF_FORMAT_TYPEMASK;
    return (sfFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && major != SF_FORMAT_MPEG;
}

bool WriteSndfile(const std::string& path, int sfFormat, int rate, int channels, long frames,
                  const Generator& gen, const Configure& configure) {
    if (channels <= 0 || rate <= 0 || frames < 0) {
        return false;
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = sfFormat;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    bool ok = !configure || configure(file);
    // Without clipping libsndfile lets a float of exactly 1.0 wrap round in integer formats.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    // 16-bit samples are converted here rather than by libsndfile, whose float scaling
    // (0x7FFF) would not read back as the same value.
    const bool pcm16 = IsPcm16(sfFormat);
    std::vector<float> floats(pcm16 ? 0 : static_cast<size_t>(kChunkFrames * channels));
    std::vector<short> shorts(pcm16 ? static_cast<size_t>(kChunkFrames * channels) : 0);
    for (long start = 0; ok && start < frames; start += kChunkFrames) {
        const long count = std::min(kChunkFrames, frames - start);
        for (long i = 0; i < count; ++i) {
            for (int c = 0; c < channels; ++c) {
                const float x = gen(start + i, c);
                const size_t at = static_cast<size_t>(i * channels + c);
                if (pcm16) {
                    shorts[at] = ToPcm16(x);
                } else {
                    floats[at] = std::clamp(x, -1.0f, 1.0f);
                }
            }
        }
        const sf_count_t written = pcm16 ? sf_writef_short(file, shorts.data(), count)
                                         : sf_writef_float(file, floats.data(), count);
        ok = written == count;
    }
    return sf_close(file) == 0 && ok;
}

std::uint64_t Mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Uniform in [-1, 1), a function of its arguments alone so that chunked writing and any
// order of calls give the same file.
double Noise(unsigned seed, long frame, int channel) {
    const std::uint64_t h =
        Mix64((static_cast<std::uint64_t>(seed) << 40) ^ (static_cast<std::uint64_t>(frame) << 2) ^
              static_cast<std::uint64_t>(channel));
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

} // namespace

TempDir::TempDir() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        base = "/tmp";
    }
    std::string pattern = (base / "corvaline-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
}

TempDir::~TempDir() {
    if (m_path.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

const std::string& TempDir::Path() const {
    return m_path;
}

std::string TempDir::File(std::string_view name) const {
    return m_path + "/" + std::string(name);
}

std::int16_t ToPcm16(float x) {
    const long s = std::lrint(static_cast<double>(x) * 32768.0);
    return static_cast<std::int16_t>(std::clamp(s, -32768l, 32767l));
}

bool WriteAudio(const std::string& path, int sfFormat, int rate, int channels, long frames,
                const Generator& gen) {
    return WriteSndfile(path, sfFormat, rate, channels, frames, gen, nullptr);
}

bool WriteTagged(const std::string& path, int sfFormat, int rate, int channels, long frames,
                 const Generator& gen, const std::vector<TagText>& tags) {
    const auto configure = [&tags](SNDFILE* file) {
        return std::all_of(tags.begin(), tags.end(), [file](const TagText& tag) {
            return sf_set_string(file, tag.kind, tag.text.c_str()) == 0;
        });
    };
    return WriteSndfile(path, sfFormat, rate, channels, frames, gen, configure);
}

bool WriteWav16(const std::string& path, int rate, int channels, long frames,
                const Generator& gen) {
    return WriteAudio(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, channels, frames, gen);
}

bool WriteMp3(const std::string& path, int rate, int channels, long frames, const Generator& gen,
              bool variableBitrate) {
    const auto configure = [variableBitrate](SNDFILE* file) {
        int mode = variableBitrate ? SF_BITRATE_MODE_VARIABLE : SF_BITRATE_MODE_CONSTANT;
        // The command answers 0 on success as on failure; the mode read back tells.
        sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        return sf_command(file, SFC_GET_BITRATE_MODE, nullptr, 0) == mode;
    };
    return WriteSndfile(path, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, rate, channels, frames,
                        gen, configure);
}

bool WriteRaw16(const std::string& path, long frames, const Generator& gen) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    std::vector<char> bytes(static_cast<size_t>(kChunkFrames * 4));
    for (long start = 0; start < frames; start += kChunkFrames) {
        const long count = std::min(kChunkFrames, frames - start);
        for (long i = 0; i < count; ++i) {
            for (int c = 0; c < 2; ++c) {
                const auto s = static_cast<std::uint16_t>(ToPcm16(gen(start + i, c)));
                const size_t at = static_cast<size_t>(i * 4 + c * 2);
                bytes[at] = static_cast<char>(s & 0xFF);
                bytes[at + 1] = static_cast<char>(s >> 8);
            }
        }
        out.write(bytes.data(), count * 4);
    }
    out.close();
    return static_cast<bool>(out);
}

bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

Generator Sine(double frequencyHz, int rate, double amplitude) {
    return [frequencyHz, rate, amplitude](long frame, int) {
        // The phase is reduced in whole periods first so that long files keep their precision.
        const double cycles = frequencyHz * static_cast<double>(frame) / rate;
        const double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
        return static_cast<float>(amplitude * std::sin(phase));
    };
}

Generator Constant(float left, float right) {
    return [left, right](long, int channel) { return channel == 0 ? left : right; };
}

Generator Music(int rate, unsigned seed) {
    struct Partial {
        double frequency; // Hz, centre of the drift
        double amplitude;
        double driftRate;  // Hz
        double driftDepth; // fraction of the frequency
        double rightPhase; // radians, so that the channels differ a little
    };
    std::vector<Partial> partials;
    const double base = 110.0 + 110.0 * (Mix64(seed) % 1000) / 1000.0;
    const double ratios[] = {1.0, 2.01, 3.03, 4.71, 6.12};
    const double amplitudes[] = {0.26, 0.20, 0.16, 0.12, 0.10};
    for (int i = 0; i < 5; ++i) {
        const std::uint64_t h = Mix64(seed * 31u + static_cast<unsigned>(i) + 1u);
        partials.push_back({base * ratios[i], amplitudes[i], 0.1 + 0.4 * (h % 100) / 100.0,
                            0.002 + 0.006 * ((h >> 8) % 100) / 100.0,
                            0.5 * ((h >> 16) % 100) / 100.0});
    }
    return [partials, rate, seed](long frame, int channel) {
        const double t = static_cast<double>(frame) / rate;
        double sum = 0.0;
        for (const Partial& p : partials) {
            // The phase is the integral of f(1 + d sin(2 pi r t)), so it is exact at any frame.
            const double w = 2.0 * std::numbers::pi * p.driftRate;
            const double cycles = p.frequency * (t + p.driftDepth * (1.0 - std::cos(w * t)) / w);
            const double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles)) +
                                 (channel == 1 ? p.rightPhase : 0.0);
            const double swell = 0.85 + 0.15 * std::sin(w * 0.7 * t + p.rightPhase);
            sum += p.amplitude * swell * std::sin(phase);
        }
        sum += 0.03 * Noise(seed, frame, channel);
        return static_cast<float>(sum);
    };
}

} // namespace corvaline::testsupport
