// Turns an audio file into 44100 Hz stereo float frames: the file's content
// chooses its decoder (libmpg123 for MPEG audio, libsndfile for the rest,
// whatever the extension says), mono is doubled, channels past the second are
// dropped, and other rates go through soxr.
//
// Thread contract: one thread at a time (the stream's decode lock).
#pragma once

#include "AudioSource.h"
#include "FileReader.h"

#include <soxr.h>

#include <memory>
#include <string>
#include <vector>

namespace fsound {

class Decoder {
public:
  // Null when the file cannot be read as audio, or is audio that the mixer
  // cannot keep up with. `byteOffset` is where the audio file starts inside
  // the file named.
  static std::unique_ptr<Decoder> Open(const std::string& path, long long byteOffset);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Up to `frames` frames into `stereo`; 0 once the file has ended, or at the
  // first read error or corrupt frame, which ends it just the same.
  std::size_t Read(float* stereo, std::size_t frames);
  bool Rewind();

  int LengthMs() const { return lengthMs_; }

private:
  explicit Decoder(const std::string& path) : file_(path) {}
  bool StartResampler(int rate);
  std::size_t ReadSource(float* stereo, std::size_t frames);
  std::size_t ReadResampled(float* stereo, std::size_t frames);

  FileHandle file_;
  std::unique_ptr<AudioSource> source_;
  int lengthMs_ = 0;
  bool sourceEnded_ = false;

  soxr_t resampler_ = nullptr;
  std::vector<float> fileFrames_;   // as the file has them, when it is not stereo
  std::vector<float> sourceStereo_; // before resampling
  std::size_t sourcePending_ = 0;
  std::size_t sourceOffset_ = 0;
};

} // namespace fsound
