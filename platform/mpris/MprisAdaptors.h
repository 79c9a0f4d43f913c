// The two MPRIS 2 interfaces as Qt D-Bus adaptors of one object: their properties are read
// from the player as they are asked for, and its requests are passed on after the call
// has been answered.
#pragma once

#include "MprisService.h"

#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusAbstractAdaptor>
#include <QtDBus/QDBusObjectPath>

namespace mpris {

// Calls `request` of the player from the event loop, once the bus call has been answered:
// a request may run a message box's event loop, which must not hold the caller's reply.
// The call is dropped when `context` goes first.
void Defer(QObject* context, Player& player, void (Player::*request)());

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)

  public:
    RootAdaptor(QObject* object, const Identity& identity, Player& player);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return m_identity; }
    QString desktopEntry() const { return m_desktopEntry; }
    // Nothing is opened from the bus.
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

  public slots:
    void Raise() { Defer(this, m_player, &Player::Raise); }
    void Quit() { Defer(this, m_player, &Player::Quit); }

  private:
    QString m_identity;
    QString m_desktopEntry;
    Player& m_player;
};

// The player has no pause, no way back and no seeking: those methods are there, as the
// interface has them, and do nothing, as its Can... properties announce.
class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ no)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

  public:
    PlayerAdaptor(QObject* object, Player& player);

    QString playbackStatus() const;
    QVariantMap metadata() const;
    qlonglong position() const;
    // One speed and no volume of the player's own: what is set is ignored.
    double rate() const { return 1.0; }
    void setRate(double) {}
    double volume() const { return 1.0; }
    void setVolume(double) {}
    bool yes() const { return true; }
    bool no() const { return false; }

  public slots:
    void Play() { Defer(this, m_player, &Player::Play); }
    void PlayPause() { Defer(this, m_player, &Player::Play); }
    void Stop() { Defer(this, m_player, &Player::Stop); }
    void Next() { Defer(this, m_player, &Player::Next); }
    void Pause() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

  signals:
    void Seeked(qlonglong position);

  private:
    Player& m_player;
};

} // namespace mpris
