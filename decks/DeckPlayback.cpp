// Play and Stop of a deck, written once for both.
#include "CorvalineDlg.h"
#include "Deck.h"

#include <filesystem>
#include <system_error>

Deck CCorvalineDlg::DeckAt(int index) {
    if (index == 0) {
        return {0,          m_volume1, m_fadeOut1, m_fadeIn1,   m_lengthMs1,
                m_playing1, m_stream1, m_track1,   m_progress1, m_panSlider1};
    }
    return {1,          m_volume2, m_fadeOut2, m_fadeIn2,   m_lengthMs2,
            m_playing2, m_stream2, m_track2,   m_progress2, m_panSlider2};
}

void CCorvalineDlg::OnPlay1() {
    Play(DeckAt(0));
}
void CCorvalineDlg::OnPlay2() {
    Play(DeckAt(1));
}
void CCorvalineDlg::OnStop1() {
    Stop(DeckAt(0));
}
void CCorvalineDlg::OnStop2() {
    Stop(DeckAt(1));
}

namespace {

// A deck never plays a stream again once it has let it go (stopped, ended or
// replaced), so the stream is released as soon as the next one is opened:
// after the fade-out of a stop, and never while another deck may still need
// a file it just opened.
void Release(FSOUND_STREAM*& stream) {
    if (stream != nullptr) {
        FSOUND_Stream_Close(stream);
        stream = nullptr;
    }
}

} // namespace

void CCorvalineDlg::Play(Deck deck) {
    UpdateFields();
    if (m_path.empty()) {
        return;
    }
    if (deck.playing) {
        Stop(deck);
    }
    Release(deck.stream);
    deck.stream = FSOUND_Stream_OpenFile(m_path.c_str(), FSOUND_LOOP_OFF, 0);
    if (deck.stream == nullptr) {
        return;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(m_path, error);
    deck.track = {++m_tracksOpened, error ? m_path : absolute.lexically_normal().string(),
                  fsound::ReadTags(m_path)};
    FSOUND_Stream_Play(deck.channel, deck.stream);
    if (!deck.fadeIn) {
        deck.volume = kFullVolume;
    }
    FSOUND_SetVolume(deck.channel, deck.volume);
    deck.lengthMs = FSOUND_Stream_GetLengthMs(deck.stream);
    deck.progress.SetRange(0, 100);
    deck.progress.SetPos(0);
    m_fftUnit = FSOUND_DSP_GetFFTUnit();
    if (!FSOUND_DSP_GetActive(m_fftUnit)) {
        FSOUND_DSP_SetActive(m_fftUnit, 1);
    }
    deck.playing = 1;
    deck.fadeOut = 0;
    m_refusedPath.clear();
    CreateCompressorUnit();
    WakeTick();
}

void CCorvalineDlg::Stop(Deck deck) {
    if (!deck.playing) {
        return;
    }
    deck.playing = 0;
    deck.fadeOut = 0;
    FreeCompressorUnit();
    deck.progress.SetPos(0);
    // The library keeps the volume it was last given until the next Play.
    deck.volume = kFullVolume;
    FSOUND_Stream_Stop(deck.stream);
}
