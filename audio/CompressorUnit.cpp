// The compressor and level unit: its shared values, the transfer of one
// sample, the routine the mixer calls for every block, and the window's
// operations that put the unit into the chain and take it out.
#include "CompressorUnit.h"

#include "CorvalineDlg.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

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
        for (int x = -32768; x <= 32767; ++x)
            values_[Index(static_cast<short>(x))] = 32768.0 * std::sin(x * 0x1p-16 * pi);
    }

    double operator[](short x) const { return values_[Index(x)]; }

  private:
    static std::size_t Index(short x) { return static_cast<std::uint16_t>(x); }

    std::array<double, 65536> values_;
};

const SineTable sineTable;

double ExpOf(double g) {
    return std::exp2(g * std::numbers::log2e);
}

// Truncation toward zero, with saturation in place of the undefined
// conversion of a value beyond 16 bits. NaN (silence times an infinite
// factor, only for an absurd gain) is silence.
int ToSample(double y) {
    if (y >= 32767.0)
        return 32767;
    if (y <= -32768.0)
        return -32768;
    if (std::isnan(y))
        return 0;
    return static_cast<int>(y);
}

// The option is read for each sample, so that a click takes effect within
// the block being processed.
int Transfer(short x, double factor) {
    const double t = g_compressorOn.load(kRelaxed) != 0 ? sineTable[x] : static_cast<double>(x);
    return ToSample(t * factor);
}

// A louder sample moves the running peak halfway towards its magnitude; the
// peak never falls within a block.
int Follow(int peak, int sample) {
    const int magnitude = sample < 0 ? -sample : sample;
    return magnitude > peak ? (peak + magnitude) / 2 : peak;
}

void Raise(std::atomic<int>& shared, int peak) {
    if (peak > shared.load(kRelaxed))
        shared.store(peak, kRelaxed);
}

} // namespace

double SineCurve(short x) {
    return sineTable[x];
}

int TransferSample(short x, double g) {
    return Transfer(x, ExpOf(g));
}

void* CompressorCallback(void* block, void*, int frames, void*) {
    auto* samples = static_cast<std::int16_t*>(block);
    if (samples == nullptr || frames < 0)
        frames = 0;
    // g changes only at the end of a block, so one exponential serves it all.
    const double factor = ExpOf(g_gain.load(kRelaxed));
    int peakLeft = 0;
    int peakRight = 0;
    for (int i = 0; i < frames; ++i) {
        std::int16_t& left = samples[2 * i];
        std::int16_t& right = samples[2 * i + 1];
        left = static_cast<std::int16_t>(Transfer(left, factor));
        peakLeft = Follow(peakLeft, left);
        right = static_cast<std::int16_t>(Transfer(right, factor));
        peakRight = Follow(peakRight, right);
    }

    Raise(g_peakLeft, peakLeft);
    Raise(g_peakRight, peakRight);
    if (peakLeft > kClipAbove)
        g_clipLeft.store(1, kRelaxed);
    if (peakRight > kClipAbove)
        g_clipRight.store(1, kRelaxed);

    const int peak = peakLeft > peakRight ? peakLeft : peakRight;
    if (peak > kLowerAbove) {
        g_gain.store(g_gain.load(kRelaxed) - kDownStep, kRelaxed);
    } else if (peak > kRaiseAbove) {
        const double step =
            g_compressorOn.load(kRelaxed) != 0 ? kUpStepCompressed : kUpStepStraight;
        g_gain.store(g_gain.load(kRelaxed) + step, kRelaxed);
    }
    return block;
}

void CCorvalineDlg::CreateCompressorUnit() {
    if (m_compressorUnit != nullptr)
        return;
    // A null handle from a failed create is kept: every unit call ignores it,
    // and the next Play tries again.
    m_compressorUnit = FSOUND_DSP_Create(&CompressorCallback, 300, nullptr);
    FSOUND_DSP_SetActive(m_compressorUnit, 1);
}

void CCorvalineDlg::FreeCompressorUnit() {
    if (m_playing1 || m_playing2)
        return;
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
