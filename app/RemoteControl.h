// The window as a media player on the session bus: what it plays, read from the decks when
// asked, and the bus's requests carried out by the window's own command handlers, as the
// clicks on its buttons are.
//
// Thread contract: the window's thread only, like the window.
#pragma once

#include "MprisService.h"

#include <cstdint>
#include <memory>

class CCorvalineDlg;

class RemoteControl final : public mpris::Player {
  public:
    explicit RemoteControl(CCorvalineDlg& window);
    ~RemoteControl();

    // Once a tick: tells the listeners when the status or the track heard has changed since
    // the last tick, and costs two comparisons when it has not.
    void Tick();

    bool Playing() const override;
    mpris::Track Heard() const override;
    std::int64_t PositionUs() const override;

    void Play() override;
    void Stop() override;
    void Next() override;
    void Raise() override;
    void Quit() override;

  private:
    // The deck heard (0 or 1), or -1 when neither plays.
    int HeardDeck() const;

    struct State {
        int deck = -1;
        std::uint64_t track = 0;
        bool operator==(const State&) const = default;
    };
    State Now() const;
    template <class Request> void Carry(Request request);

    CCorvalineDlg& m_window;
    State m_told;
    bool m_carrying = false;
    std::unique_ptr<mpris::Service> m_service; // null without a session bus
};
