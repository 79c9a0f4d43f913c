// A media player on the session bus as MPRIS 2 describes one (org.mpris.MediaPlayer2 and its
// Player interface), so that media keys, the desktop's media controls and tools such as
// playerctl can see and steer it. The player behind it is the program's; this layer knows
// nothing of it but the Player interface below.
//
// Thread contract: everything here, the Player's functions included, runs on the thread
// that made the service, the one running the program's event loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace mpris {

struct Track {
    std::uint64_t id = 0; // tells apart two plays of one file
    std::string path;     // absolute
    std::string title;
    std::string artist; // empty when not tagged
    std::string album;  // empty when not tagged
    std::int64_t lengthUs = 0;
};

class Player {
  public:
    virtual bool Playing() const = 0;
    // The track heard; only asked while Playing().
    virtual Track Heard() const = 0;
    virtual std::int64_t PositionUs() const = 0;

    // Requests from the bus. They come from the event loop, after the call that made them
    // has been answered, so they may open message boxes and run their event loops.
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual void Next() = 0;
    virtual void Raise() = 0;
    virtual void Quit() = 0;

  protected:
    ~Player() = default;
};

struct Identity {
    std::string busSuffix;    // org.mpris.MediaPlayer2.<busSuffix>
    std::string name;         // shown to the user
    std::string desktopEntry; // the desktop entry's file name without ".desktop"
};

class Service {
  public:
    // Null when there is no session bus to be on: the program then goes on without one,
    // saying nothing. A second instance of the program takes a name of its own.
    static std::unique_ptr<Service> Start(const Identity& identity, Player& player);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // The player's status or its track changed: whoever listens is told.
    void Changed();

    struct Impl;

  private:
    explicit Service(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace mpris
