// The compressor and level unit: its shared values, the transfer of one
// sample, the routine the mixer calls for every block, and the window's
// operations that put the unit into the chain and take it out.
#include "CompressorUnit.h"

#include "CorvalineDlg.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// g_pi comes first in this file: the curve table below is built from it
// during the same file's start-up, which runs in definition order.
std::atomic<double> g_pi{4.0 * std::atan(1.0)};
std::atomic<int> g_compressorOn{0};
std::atomic<double> g_gain{0.0};
std::atomic<int> g_peakLeft{0};
std::atomic<int> g_peakRight{0};
std::atomic<int> g_clipLeft{0};
std::atomic<int> g_clipRight{0};

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

constexpr int kClipAbove = 30000;
constexpr int kLowerAbove = 28000;
constexpr int kRaiseAbove = 15000;
// The steps are single-precision decimals widened to double, so the gain
// moves by exactly the amounts the display is known to show.
constexpr double kDownStep = static_cast<double>(0.025f);
constexpr double kUpStepCompressed = static_cast<double>(0.001f);
constexpr double kUpStepStraight = static_cast<double>(0.0001f);

// Every 16-bit input has its sine worked out once, at start-up, so that the
// mixing thread pays a lookup instead of a sine per sample.
class SineTable {
  public:
    SineTable() {
        const double pi = g_pi.load(kRelaxed);
        for (int x = -32768; x <= 32767; ++x) {
            m_values[Index(static_cast<short>(x))] = 32768.0 * std::sin(x * 0x1p-16 * pi);
        }
    }

    double operator[](short x) const { return m_values[Index(x)]; }

  private:
    static std::size_t Index(short x) { return static_cast<std::uint16_t>(x); }

    std::array<double, 65536> m_values;
};

const SineTable sineTable;

double ExpOf(double g) {
    return std::exp2(g * std::numbers::log2e);
}

// Truncation toward zero, with saturation in place of the undefined
// conversion of a value beyond 16 bits. NaN (silence times an infinite
// factor, only for an absurd gain) is silence.
int ToSample(double y) {
    if (y >= 32767.0) {
        return 32767;
    }
    if (y <= -32768.0) {
        return -32768;
    }
    if (std::isnan(y)) {
        return 0;
    }
    return static_cast<int>(y);
}

int Transfer(short x, double factor, bool compressed) {
    const double t = compressed ? sineTable[x] : static_cast<double>(x);
    return ToSample(t * factor);
}

#if defined(__SSE2__)
// Four products to four samples, exactly as ToSample would make them: NaN to
// zero, then the clamp, then truncation. The compiler does not turn
// ToSample's branches into the minimum and maximum instructions by itself.
__m128i ToSamples(__m128d a, __m128d b) {
    const __m128d high = _mm_set1_pd(32767.0);
    const __m128d low = _mm_set1_pd(-32768.0);
    a = _mm_and_pd(a, _mm_cmpord_pd(a, a));
    b = _mm_and_pd(b, _mm_cmpord_pd(b, b));
    a = _mm_max_pd(_mm_min_pd(a, high), low);
    b = _mm_max_pd(_mm_min_pd(b, high), low);
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
}

// Eight samples at a time; returns how many were done, the rest being left to
// the plain loop.
int TransferVectors(std::int16_t* samples, int count, double factor, bool compressed) {
    const __m128d f = _mm_set1_pd(factor);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128d y[4];
        if (compressed) {
            for (int k = 0; k < 4; ++k) {
                y[k] = _mm_mul_pd(
                    _mm_set_pd(sineTable[samples[i + 2 * k + 1]], sineTable[samples[i + 2 * k]]),
                    f);
            }
        } else {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
            const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16);
            const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16);
            y[0] = _mm_mul_pd(_mm_cvtepi32_pd(low), f);
            y[1] = _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(low, 0xEE)), f);
            y[2] = _mm_mul_pd(_mm_cvtepi32_pd(high), f);
            y[3] = _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(high, 0xEE)), f);
        }
        const __m128i packed = _mm_packs_epi32(ToSamples(y[0], y[1]), ToSamples(y[2], y[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i), packed);
    }
    return i;
}
#else
int TransferVectors(std::int16_t*, int, double, bool) {
    return 0;
}
#endif

// The whole block through the curve the option selects, which is fixed for the
// block.
void TransferBlock(std::int16_t* samples, int count, double factor, bool compressed) {
    for (int i = TransferVectors(samples, count, factor, compressed); i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(Transfer(samples[i], factor, compressed));
    }
}

// A louder sample moves the running peak halfway towards its magnitude; the
// peak never falls within a block.
int Follow(int peak, int sample) {
    const int magnitude = sample < 0 ? -sample : sample;
    return magnitude > peak ? (peak + magnitude) / 2 : peak;
}

// The running peaks of both channels over `frames` processed frames. Following
// is a chain from sample to sample, but a stretch in which no magnitude exceeds
// both peaks leaves them as they are; such stretches, most of a block once the
// peaks have risen, are passed over with one vectorised maximum.
void FollowBlock(const std::int16_t* samples, int frames, int& peakLeft, int& peakRight) {
    constexpr int kStretch = 32; // frames
    for (int start = 0; start < frames; start += kStretch) {
        const int end = frames - start < kStretch ? frames : start + kStretch;
        int loudest = 0;
        for (int i = 2 * start; i < 2 * end; ++i) {
            const int magnitude = samples[i] < 0 ? -samples[i] : samples[i];
            loudest = magnitude > loudest ? magnitude : loudest;
        }
        if (loudest <= peakLeft && loudest <= peakRight) {
            continue;
        }
        for (int i = start; i < end; ++i) {
            peakLeft = Follow(peakLeft, samples[2 * i]);
            peakRight = Follow(peakRight, samples[2 * i + 1]);
        }
    }
}

void Raise(std::atomic<int>& shared, int peak) {
    if (peak > shared.load(kRelaxed)) {
        shared.store(peak, kRelaxed);
    }
}

} // namespace

double SineCurve(short x) {
    return sineTable[x];
}

int TransferSample(short x, double g) {
    return Transfer(x, ExpOf(g), g_compressorOn.load(kRelaxed) != 0);
}

void* CompressorCallback(void* block, void*, int frames, void*) {
    auto* samples = static_cast<std::int16_t*>(block);
    if (samples == nullptr || frames < 0) {
        frames = 0;
    }
    // g changes only at the end of a block, so one exponential serves it all.
    const double factor = ExpOf(g_gain.load(kRelaxed));
    // The option is read once for the block: a click lands between two blocks, as
    // it would if it came a moment later, and a load per sample would keep the
    // compiler from treating the block as one loop of plain arithmetic.
    const bool compressed = g_compressorOn.load(kRelaxed) != 0;
    TransferBlock(samples, 2 * frames, factor, compressed);
    int peakLeft = 0;
    int peakRight = 0;
    FollowBlock(samples, frames, peakLeft, peakRight);

    Raise(g_peakLeft, peakLeft);
    Raise(g_peakRight, peakRight);
    if (peakLeft > kClipAbove) {
        g_clipLeft.store(1, kRelaxed);
    }
    if (peakRight > kClipAbove) {
        g_clipRight.store(1, kRelaxed);
    }

    const int peak = peakLeft > peakRight ? peakLeft : peakRight;
    if (peak > kLowerAbove) {
        g_gain.store(g_gain.load(kRelaxed) - kDownStep, kRelaxed);
    } else if (peak > kRaiseAbove) {
        const double step = compressed ? kUpStepCompressed : kUpStepStraight;
        g_gain.store(g_gain.load(kRelaxed) + step, kRelaxed);
    }
    return block;
}

void CCorvalineDlg::CreateCompressorUnit() {
    if (m_compressorUnit != nullptr) {
        return;
    }
    // A null handle from a failed create is kept: every unit call ignores it,
    // and the next Play tries again.
    m_compressorUnit = FSOUND_DSP_Create(&CompressorCallback, kCompressorPriority, nullptr);
    FSOUND_DSP_SetActive(m_compressorUnit, 1);
}

void CCorvalineDlg::FreeCompressorUnit() {
    if (m_playing1 || m_playing2) {
        return;
    }
    FSOUND_DSP_SetActive(m_compressorUnit, 0);
    FSOUND_DSP_Free(m_compressorUnit);
    m_compressorUnit = nullptr;
}

void CCorvalineDlg::OnCompressor() {
    // A failed validation elsewhere in the window must not keep the option
    // from taking effect.
    UpdateFields();
    g_compressorOn.store(m_compressorOn, kRelaxed);
}
