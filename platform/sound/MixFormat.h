// The fixed shape of what the mixer produces and how far ahead it is fed.
#pragma once

#include <cstddef>

namespace fsound {

inline constexpr int kMixRate = 44100;
inline constexpr std::size_t kBlockFrames = 1024;
inline constexpr int kOutputChannels = 2;

// About two seconds of decoded audio per stream: long enough to ride out a busy
// machine, short enough that a dozen open streams stay small.
inline constexpr std::size_t kRingFrames = 88 * kBlockFrames;
// What an open decodes before it returns, so that a stream starts without a gap
// while the feeder catches up.
inline constexpr std::size_t kPrefillFrames = 8 * kBlockFrames;
// How much the feeder decodes at a time.
inline constexpr std::size_t kDecodeChunkFrames = 4096;
// A stopped stream is faded out over this many frames (about 6 ms) so that it
// does not end mid-waveform with a click.
inline constexpr std::size_t kStopFadeFrames = 256;

} // namespace fsound
