#include "MprisService.h"

#include "MprisAdaptors.h"

#include <QtCore/QMetaObject>
#include <QtCore/QUrl>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace mpris {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whether a session bus is named: by its address, or by the user's bus socket that libdbus
// looks for next. Without either there is none to be on, and asking Qt for one would start
// its bus thread for nothing, and have libdbus try to launch a bus of its own for the X
// display, one that would outlive the program and write into the home.
bool SessionBusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0' &&
           access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

} // namespace

void Defer(QObject* context, Player& player, void (Player::*request)()) {
    QMetaObject::invokeMethod(
        context, [&player, request] { (player.*request)(); }, Qt::QueuedConnection);
}

RootAdaptor::RootAdaptor(QObject* object, const Identity& identity, Player& player)
    : QDBusAbstractAdaptor(object), m_identity(FromUtf8(identity.name)),
      m_desktopEntry(FromUtf8(identity.desktopEntry)), m_player(player) {}

PlayerAdaptor::PlayerAdaptor(QObject* object, Player& player)
    : QDBusAbstractAdaptor(object), m_player(player) {}

QString PlayerAdaptor::playbackStatus() const {
    return m_player.Playing() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap PlayerAdaptor::metadata() const {
    if (!m_player.Playing()) {
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(
                     QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    }
    const Track track = m_player.Heard();
    QVariantMap data{
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(QDBusObjectPath(
             QStringLiteral("/org/corvaline/Track/%1").arg(static_cast<qulonglong>(track.id))))},
        {QStringLiteral("xesam:url"),
         QUrl::fromLocalFile(FromUtf8(track.path)).toString(QUrl::FullyEncoded)},
        {QStringLiteral("xesam:title"), FromUtf8(track.title)},
        {QStringLiteral("mpris:length"), static_cast<qlonglong>(track.lengthUs)}};
    if (!track.artist.empty()) {
        data.insert(QStringLiteral("xesam:artist"), QStringList{FromUtf8(track.artist)});
    }
    if (!track.album.empty()) {
        data.insert(QStringLiteral("xesam:album"), FromUtf8(track.album));
    }
    return data;
}

qlonglong PlayerAdaptor::position() const {
    return m_player.Playing() ? static_cast<qlonglong>(m_player.PositionUs()) : 0;
}

struct Service::Impl {
    QDBusConnection bus;
    QString busName;
    QObject object;
    PlayerAdaptor* player = nullptr;

    explicit Impl(const QDBusConnection& connection) : bus(connection) {}
};

std::unique_ptr<Service> Service::Start(const Identity& identity, Player& player) {
    if (!SessionBusNamed()) {
        return nullptr;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>(bus);
    new RootAdaptor(&impl->object, identity, player);
    impl->player = new PlayerAdaptor(&impl->object, player);
    if (!bus.registerObject(kObjectPath, &impl->object, QDBusConnection::ExportAdaptors)) {
        return nullptr;
    }
    const QString name = QStringLiteral("org.mpris.MediaPlayer2.") + FromUtf8(identity.busSuffix);
    // The way MPRIS names further instances of one player.
    const QString instanceName =
        name + QStringLiteral(".instance") + QString::number(static_cast<qlonglong>(getpid()));
    for (const QString& candidate : {name, instanceName}) {
        if (bus.interface()
                ->registerService(candidate, QDBusConnectionInterface::DontQueueService,
                                  QDBusConnectionInterface::DontAllowReplacement)
                .value() == QDBusConnectionInterface::ServiceRegistered) {
            impl->busName = candidate;
            return std::unique_ptr<Service>(new Service(std::move(impl)));
        }
    }
    bus.unregisterObject(kObjectPath);
    return nullptr;
}

Service::Service(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Service::~Service() {
    m_impl->bus.unregisterService(m_impl->busName);
    m_impl->bus.unregisterObject(kObjectPath);
}

void Service::Changed() {
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    const QVariantMap changed{{QStringLiteral("PlaybackStatus"), m_impl->player->playbackStatus()},
                              {QStringLiteral("Metadata"), m_impl->player->metadata()}};
    signal << kPlayerInterface << changed << QStringList();
    m_impl->bus.send(signal);
}

} // namespace mpris
