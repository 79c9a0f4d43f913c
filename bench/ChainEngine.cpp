#include "ChainEngine.h"

#include "fsound_stats.h"

#include <cstdint>

namespace corvaline::bench {
namespace {

// Stands in for the program's level unit: a full pass over every sample of the
// block, so the chain pays what a real unit would.
void* ApplyGain(void* block, void*, int frames, void*) {
    auto* samples = static_cast<std::int16_t*>(block);
    for (int i = 0; i < frames * 2; ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<float>(samples[i]) * 0.9f);
    return block;
}

} // namespace

ChainEngine::ChainEngine(int output, bool withUnits) {
    FSOUND_SetOutput(output);
    started_ = FSOUND_Init(FSOUND_MIX_RATE, 2, 0) != 0;
    if (!started_ || !withUnits)
        return;
    level_ = FSOUND_DSP_Create(ApplyGain, 300, nullptr);
    FSOUND_DSP_SetActive(level_, 1);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
}

ChainEngine::~ChainEngine() {
    CloseStreams();
    FSOUND_DSP_Free(level_);
    FSOUND_Close();
}

bool ChainEngine::PlayOnChannels(const std::vector<std::string>& paths) {
    CloseStreams();
    for (const std::string& path : paths) {
        FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
        if (!stream)
            return false;
        FSOUND_Stream_Play(static_cast<int>(streams_.size()), stream);
        streams_.push_back(stream);
    }
    return true;
}

bool ChainEngine::AnyPlaying() const {
    for (std::size_t channel = 0; channel < streams_.size(); ++channel)
        if (FSOUND_IsPlaying(static_cast<int>(channel)))
            return true;
    return false;
}

void ChainEngine::CloseStreams() {
    for (FSOUND_STREAM* stream : streams_)
        FSOUND_Stream_Close(stream);
    streams_.clear();
}

} // namespace corvaline::bench
