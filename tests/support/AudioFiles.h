// Audio files that tests and benchmarks write for themselves, so that no recording is
// kept in the repository, and the generators of the signals they hold.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvaline::testsupport {

// A fresh directory under the system temp dir, removed with all contents on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const;
    std::string File(std::string_view name) const; // Path() + "/" + name

  private:
    std::string m_path;
};

// Sample value in [-1, 1] of one channel of one frame. Writers call it frame by frame in
// order, but generators here depend on nothing but their arguments.
using Generator = std::function<float(long frame, int channel)>;

// The 16-bit sample a value is stored as in 16-bit files: clamp(lrint(x * 32768)), so that
// a sample s reads back as exactly s / 32768 and values such as 0.5 survive unchanged.
std::int16_t ToPcm16(float x);

// Any libsndfile format (major | subtype), written in chunks so that files of many minutes
// need no whole-file buffer. False when libsndfile refuses the format or the write fails.
bool WriteAudio(const std::string& path, int sfFormat, int rate, int channels, long frames,
                const Generator& gen);
bool WriteWav16(const std::string& path, int rate, int channels, long frames, const Generator& gen);
// A text tag: libsndfile's kind (SF_STR_TITLE, ...) and its text.
struct TagText {
    int kind;
    std::string text;
};
// As WriteAudio, with the tags in the file, in whatever form libsndfile keeps them there.
bool WriteTagged(const std::string& path, int sfFormat, int rate, int channels, long frames,
                 const Generator& gen, const std::vector<TagText>& tags);
// libsndfile's MPEG layer III writer.
bool WriteMp3(const std::string& path, int rate, int channels, long frames, const Generator& gen,
              bool variableBitrate = true);
// Headerless 44100 Hz 16-bit little-endian stereo.
bool WriteRaw16(const std::string& path, long frames, const Generator& gen);
bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// The same sine on every channel.
Generator Sine(double frequencyHz, int rate, double amplitude);
// DC, for exact gain checks (mono files use `left`).
Generator Constant(float left, float right);
// A few drifting partials plus a little noise, about -12 dBFS: realistic material for MP3
// encoders, which treat pure tones and silence unlike music.
Generator Music(int rate, unsigned seed);

} // namespace corvaline::testsupport
