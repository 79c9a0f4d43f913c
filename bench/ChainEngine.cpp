#include "ChainEngine.h"

#include "fsound_stats.h"

#include <cstdint>

namespace corvaline::bench {
namespace {

// Stands in for the program's level unit: a full pass over every sample of the
// block, so the chain pays what a real unit would.
void* ApplyGain(void* block, void*, int frames, void*) {
    auto* samples = static_cast<std::int16_t*>(block);
    for (int i = 0; i < frames * 2; ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<float>(samples[i]) * 0.9f);
    }
    return block;
}

} // namespace

ChainEngine::ChainEngine(int output, bool withUnits) {
    FSOUND_SetOutput(output);
    m_started = FSOUND_Init(FSOUND_MIX_RATE, 2, 0) != 0;
    if (!m_started || !withUnits) {
        return;
    }
    m_level = FSOUND_DSP_Create(ApplyGain, 300, nullptr);
    FSOUND_DSP_SetActive(m_level, 1);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
}

ChainEngine::~ChainEngine() {
    CloseStreams();
    FSOUND_DSP_Free(m_level);
    FSOUND_Close();
}

bool ChainEngine::PlayOnChannels(const std::vector<std::string>& paths) {
    CloseStreams();
    for (const std::string& path : paths) {
        FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
        if (!stream) {
            return false;
        }
        FSOUND_Stream_Play(static_cast<int>(m_streams.size()), stream);
        m_streams.push_back(stream);
    }
    return true;
}

bool ChainEngine::AnyPlaying() const {
    for (std::size_t channel = 0; channel < m_streams.size(); ++channel) {
        if (FSOUND_IsPlaying(static_cast<int>(channel))) {
            return true;
        }
    }
    return false;
}

void ChainEngine::CloseStreams() {
    for (FSOUND_STREAM* stream : m_streams) {
        FSOUND_Stream_Close(stream);
    }
    m_streams.clear();
}

} // namespace corvaline::bench
