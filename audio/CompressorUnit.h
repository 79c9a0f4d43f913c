// The program's own unit in the sound library's mixing chain: a soft limiter
// (when the Compressor option is on) and an automatic level control, which
// also measures the output peaks that the needle meters show.
//
// Thread contract: CompressorCallback runs on the library's mixing thread and
// touches nothing but the program-wide atomics below, with relaxed ordering;
// the window's thread reads, resets and sets them. A value that arrives
// between the window's read and its reset may be lost, as meters allow.
#pragma once

#include <atomic>

// The unit's place in the mixing chain: ahead of the sound library's spectrum unit, so
// that the spectrum shows the limited output.
inline constexpr int kCompressorPriority = 300;

extern std::atomic<double> g_pi;
extern std::atomic<int> g_compressorOn; // written by the window
extern std::atomic<double> g_gain;      // changed by the unit, shown by the window
extern std::atomic<int> g_peakLeft;     // raised by the unit, taken by the window
extern std::atomic<int> g_peakRight;
extern std::atomic<int> g_clipLeft;
extern std::atomic<int> g_clipRight;

// 32768 * sin(x * 2^-16 * g_pi), looked up in a table built once at program
// start-up; bit for bit the value of that formula for every 16-bit x.
double SineCurve(short x);

// x through the curve the Compressor option selects, times e^g, truncated
// toward zero; a product beyond 16 bits saturates to the nearer end.
int TransferSample(short x, double g);

// Processes `frames` stereo frames of 16-bit samples in place, measures their
// peaks and steps g_gain once. Returns the block.
void* CompressorCallback(void* block, void* other, int frames, void* user);
