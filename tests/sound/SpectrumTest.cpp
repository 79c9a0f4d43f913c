// The library's spectrum unit: zeros until it runs, a normalised Hann-windowed FFT of the
// mono fold of the latest output once it does, taken at its place in the chain.
#include "SoundTest.h"

#include <array>
#include <cstdint>

namespace corvaline::testsupport {
namespace {

constexpr int kBins = 512;

std::array<float, kBins> Spectrum() {
    std::array<float, kBins> copy{};
    const float* spectrum = FSOUND_DSP_GetSpectrum();
    if (spectrum != nullptr) {
        std::copy(spectrum, spectrum + kBins, copy.begin());
    }
    return copy;
}

float Largest(const std::array<float, kBins>& spectrum) {
    return *std::max_element(spectrum.begin(), spectrum.end());
}

double BinHz(int bin) {
    return bin * 44100.0 / 1024.0;
}

class SpectrumTest : public SoundTest {
  protected:
    // A fresh full stream of the generator on channel 0, mixed long enough that the latest
    // 1024 output frames hold nothing else.
    void PlayFresh(const Generator& gen) {
        if (m_stream != nullptr) {
            FSOUND_Stream_Close(m_stream);
            Mix(1);
        }
        m_stream = OpenWav("s" + std::to_string(++m_files) + ".wav", 8 * kBlock, gen);
        ASSERT_NE(m_stream, nullptr);
        FSOUND_Stream_Play(0, m_stream);
        Mix(2);
    }

    FSOUND_STREAM* m_stream = nullptr;
    int m_files = 0;
};

TEST(SpectrumBeforeInitTest, IsReadableZeros) {
    ASSERT_NE(FSOUND_DSP_GetSpectrum(), nullptr);
    EXPECT_EQ(Largest(Spectrum()), 0.0f);
    EXPECT_EQ(FSOUND_DSP_GetFFTUnit(), nullptr);
}

TEST_F(SpectrumTest, IsZeroUnlessTheUnitIsActive) {
    FSOUND_DSPUNIT* fft = FSOUND_DSP_GetFFTUnit();
    ASSERT_NE(fft, nullptr);
    EXPECT_EQ(FSOUND_DSP_GetActive(fft), 0);
    PlayFresh(Sine(BinHz(40), 44100, 0.8));
    EXPECT_EQ(Largest(Spectrum()), 0.0f) << "never activated";

    FSOUND_DSP_SetActive(fft, 1);
    EXPECT_NE(FSOUND_DSP_GetActive(fft), 0);
    Mix(1);
    EXPECT_GT(Largest(Spectrum()), 0.5f);

    FSOUND_DSP_SetActive(fft, 0);
    EXPECT_EQ(Largest(Spectrum()), 0.0f) << "switched off again";
    Mix(1);
    EXPECT_EQ(Largest(Spectrum()), 0.0f);
}

TEST_F(SpectrumTest, FullScaleSineCentredOnABinReadsOneThere) {
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    for (const int bin : {5, 40, 200, 450}) {
        SCOPED_TRACE("bin " + std::to_string(bin));
        PlayFresh(Sine(BinHz(bin), 44100, 1.0));
        const std::array<float, kBins> spectrum = Spectrum();
        EXPECT_NEAR(spectrum[static_cast<size_t>(bin)], 1.0f, 0.02f);
        for (int other = 0; other < kBins; ++other) {
            ASSERT_GE(spectrum[static_cast<size_t>(other)], 0.0f) << "bin " << other;
            if (std::abs(other - bin) >= 3) {
                ASSERT_LT(spectrum[static_cast<size_t>(other)], 0.02f) << "bin " << other;
            }
        }
    }
}

TEST_F(SpectrumTest, AnalysesTheMonoFoldOfTheOutput) {
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    // Full scale on the left only folds to half scale.
    const Generator sine = Sine(BinHz(64), 44100, 1.0);
    PlayFresh([sine](long f, int c) { return c == 0 ? sine(f, 0) : 0.0f; });
    EXPECT_NEAR(Spectrum()[64], 0.5f, 0.02f);
    // Opposite phases on the two sides cancel in the fold.
    PlayFresh([sine](long f, int c) { return c == 0 ? sine(f, 0) : -sine(f, 0); });
    EXPECT_LT(Largest(Spectrum()), 0.01f);
    // The output, not the file: volume 128 halves the reading.
    FSOUND_SetVolume(0, 128);
    PlayFresh(sine);
    EXPECT_NEAR(Spectrum()[64], 128.0f / 255.0f, 0.02f);
}

void* Silence(void* block, void*, int frames, void*) {
    std::fill_n(static_cast<std::int16_t*>(block), frames * 2, std::int16_t{0});
    return block;
}

TEST_F(SpectrumTest, SeesUnitsBelow900AndNotThoseAbove) {
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    FSOUND_DSPUNIT* before = FSOUND_DSP_Create(&Silence, 800, nullptr);
    FSOUND_DSPUNIT* after = FSOUND_DSP_Create(&Silence, 950, nullptr);
    ASSERT_TRUE(before && after);

    FSOUND_DSP_SetActive(before, 1);
    PlayFresh(Sine(BinHz(100), 44100, 1.0));
    EXPECT_LT(Largest(Spectrum()), 1e-4f);

    FSOUND_DSP_SetActive(before, 0);
    FSOUND_DSP_SetActive(after, 1);
    OutputCapture& out = Out();
    Mix(1);
    EXPECT_NEAR(Spectrum()[100], 1.0f, 0.02f);
    EXPECT_TRUE(Silent(out, 0, kBlock));
}

} // namespace
} // namespace corvaline::testsupport
