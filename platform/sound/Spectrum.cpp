#include "Spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fsound {

Spectrum::Spectrum()
    : m_input(fftwf_alloc_real(kSize)), m_output(fftwf_alloc_complex(kBins + 1)),
      m_plan(fftwf_plan_dft_r2c_1d(static_cast<int>(kSize), m_input, m_output, FFTW_ESTIMATE)) {
    for (std::size_t i = 0; i < kSize; ++i) {
        m_window[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kSize));
    }
}

Spectrum::~Spectrum() {
    fftwf_destroy_plan(m_plan);
    fftwf_free(m_output);
    fftwf_free(m_input);
}

void* Spectrum::Callback(void* block, void*, int frames, void* self) {
    static_cast<Spectrum*>(self)->Analyse(static_cast<const std::int16_t*>(block), frames);
    return block;
}

void Spectrum::Analyse(const std::int16_t* block, int frames) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(frames), kSize);
    std::move(m_history.begin() + static_cast<std::ptrdiff_t>(n), m_history.end(),
              m_history.begin());
    const std::int16_t* newest = block + 2 * (static_cast<std::size_t>(frames) - n);
    for (std::size_t i = 0; i < n; ++i) {
        m_history[kSize - n + i] =
            (static_cast<float>(newest[2 * i]) + static_cast<float>(newest[2 * i + 1])) *
            (0.5f / 32768.0f);
    }
    for (std::size_t i = 0; i < kSize; ++i) {
        m_input[i] = m_history[i] * m_window[i];
    }
    fftwf_execute(m_plan);

    // A sine of amplitude A centred on a bin gives |X| = A * N / 4 under a Hann window.
    constexpr float scale = 4.0f / static_cast<float>(kSize);
    // Odd while the bins change. Each bin is stored with release, so a reader whose
    // acquire load sees it is bound to see the odd count too when it checks again;
    // relaxed stores would let a weakly ordered CPU show the bin before the count.
    const std::uint32_t v = m_version.fetch_add(1, std::memory_order_relaxed);
    for (std::size_t k = 0; k < kBins; ++k) {
        const float re = m_output[k][0];
        const float im = m_output[k][1];
        const float magnitude = std::sqrt(re * re + im * im) * scale;
        m_published[k].store(magnitude, std::memory_order_release);
    }
    m_version.store(v + 2, std::memory_order_release);
}

void Spectrum::Read(float* bins) const {
    for (;;) {
        const std::uint32_t before = m_version.load(std::memory_order_acquire);
        if ((before & 1) == 0) {
            for (std::size_t k = 0; k < kBins; ++k) {
                // Acquire pairs with the bin's release store (see Analyse) and keeps
                // the count check below after these loads.
                bins[k] = m_published[k].load(std::memory_order_acquire);
            }
            if (m_version.load(std::memory_order_relaxed) == before) {
                return;
            }
        }
    }
}

} // namespace fsound
