// The spectrum unit: a 1024-point Hann-windowed FFT of the mono fold of the
// latest output block, as 512 magnitudes scaled so that a full-scale sine
// centred on a bin reads 1.0 there.
//
// Thread contract: Analyse runs on the mixing thread (as a unit callback), the one
// writer, and publishes through a sequence lock that never makes it wait; Read may be
// called from any thread and retries while a publication is under way.
#pragma once

#include <fftw3.h>

#include <array>
#include <atomic>
#include <cstdint>

namespace fsound {

class Spectrum {
  public:
    static constexpr std::size_t kSize = 1024;
    static constexpr std::size_t kBins = kSize / 2;

    Spectrum();
    ~Spectrum();
    Spectrum(const Spectrum&) = delete;
    Spectrum& operator=(const Spectrum&) = delete;

    static void* Callback(void* block, void* other, int frames, void* self);
    void Read(float* bins) const;

  private:
    void Analyse(const std::int16_t* block, int frames);

    float* m_input;
    fftwf_complex* m_output;
    fftwf_plan m_plan;
    std::array<float, kSize> m_window{};
    std::array<float, kSize> m_history{}; // mono fold of the latest frames, oldest first
    // A reader never returns a torn picture: the count is odd while the writer stores
    // bins, the fences in Analyse and Read order the bins against the count on every
    // CPU, and Read keeps what it loaded only when the count was even and unchanged
    // around its loads.
    // A reader never keeps a torn picture: the count is odd while Analyse stores bins,
    // each bin is stored with release and loaded with acquire, so a reader that loads a
    // bin of a publication under way finds the count changed when it checks again, and
    // Read keeps what it loaded only when the count was even and unchanged around it.
    std::array<std::atomic<float>, kBins> m_published{};
    std::atomic<std::uint32_t> m_version{0};
};

} // namespace fsound
