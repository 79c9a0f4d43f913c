#include "RemoteControl.h"

#include "CorvalineDlg.h"
#include "Resources.h"

#include <filesystem>

RemoteControl::RemoteControl(CCorvalineDlg& window)
    : m_window(window), m_told(Now()),
      m_service(mpris::Service::Start({"corvaline", "Corvaline", "corvaline"}, *this)) {}

RemoteControl::~RemoteControl() = default;

int RemoteControl::HeardDeck() const {
    const bool playing1 = m_window.m_playing1 != 0;
    const bool playing2 = m_window.m_playing2 != 0;
    if (playing1 != playing2) {
        return playing1 ? 0 : 1;
    }
    if (!playing1) {
        return -1;
    }
    // Both play: the one coming in during a hand-over, else the one not going out, else
    // the one started last.
    const auto rank = [](int fadeIn, int fadeOut) { return fadeIn ? 2 : fadeOut ? 0 : 1; };
    const int rank1 = rank(m_window.m_fadeIn1, m_window.m_fadeOut1);
    const int rank2 = rank(m_window.m_fadeIn2, m_window.m_fadeOut2);
    if (rank1 != rank2) {
        return rank1 > rank2 ? 0 : 1;
    }
    return m_window.m_track2.id > m_window.m_track1.id ? 1 : 0;
}

RemoteControl::State RemoteControl::Now() const {
    const int deck = HeardDeck();
    if (deck < 0) {
        return {};
    }
    return {deck, (deck == 0 ? m_window.m_track1 : m_window.m_track2).id};
}

void RemoteControl::Tick() {
    const State now = Now();
    if (now == m_told) {
        return;
    }
    m_told = now;
    if (m_service) {
        m_service->Changed();
    }
}

bool RemoteControl::Playing() const {
    return HeardDeck() >= 0;
}

mpris::Track RemoteControl::Heard() const {
    const int deck = HeardDeck();
    const DeckTrack& track = deck == 0 ? m_window.m_track1 : m_window.m_track2;
    const int lengthMs = deck == 0 ? m_window.m_lengthMs1 : m_window.m_lengthMs2;
    std::string title = track.tags.title;
    if (title.empty()) {
        title = std::filesystem::path(track.path).stem().string();
    }
    return {track.id,          track.path,       std::move(title),
            track.tags.artist, track.tags.album, std::int64_t{lengthMs} * 1000};
}

std::int64_t RemoteControl::PositionUs() const {
    const int deck = HeardDeck();
    if (deck < 0) {
        return 0;
    }
    FSOUND_STREAM* stream = deck == 0 ? m_window.m_stream1 : m_window.m_stream2;
    return std::int64_t{FSOUND_Stream_GetTime(stream)} * 1000;
}

template <class Request> void RemoteControl::Carry(Request request) {
    // A request that opens a message box (a field that fails its check) runs the box's event
    // loop, where the bus's next request would arrive. The box covers the window for the
    // user's clicks, and for the bus's requests too: they are dropped until it has closed.
    if (m_carrying) {
        return;
    }
    m_carrying = true;
    request();
    m_carrying = false;
    // Told at once rather than at the next tick: a Next followed at once by a Stop would
    // otherwise leave the listeners without the track in between.
    Tick();
}

void RemoteControl::Play() {
    Carry([this] {
        if (!m_window.m_playing1 && !m_window.m_playing2) {
            m_window.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TOCAR_1, BN_CLICKED));
        }
    });
}

void RemoteControl::Stop() {
    Carry([this] {
        m_window.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PARAR_1, BN_CLICKED));
        m_window.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PARAR_2, BN_CLICKED));
    });
}

void RemoteControl::Next() {
    Carry([this] { m_window.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CROSSFADE, BN_CLICKED)); });
}

void RemoteControl::Raise() {
    Carry([this] {
        m_window.SendMessage(WM_SYSCOMMAND, SC_RESTORE);
        m_window.SetForegroundWindow();
    });
}

void RemoteControl::Quit() {
    // "SAIR": the OK command, which checks the fields before it ends the window.
    Carry([this] { m_window.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)); });
}
