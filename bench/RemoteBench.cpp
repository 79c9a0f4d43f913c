// Reads of the player's MPRIS properties over the session bus, as a desktop's media
// controls make them: the real program, offscreen and playing, on a bus of the benchmark's
// own, asked by a client in this process. Each figure is a whole round trip through the bus
// daemon; a Ping of the program shows what the bus alone costs.

#include "AudioFiles.h"
#include "SummaryTable.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QProcess>

#include <sndfile.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace corvaline::bench {
namespace {

constexpr int kReads = 2000;
constexpr double kReadTargetMs = 1.0;
constexpr int kStartTimeoutMs = 20000;
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.corvaline");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    call.setArguments(args);
    return call;
}

QDBusMessage Get(const QString& name) {
    return Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                {kPlayer, name});
}

// Mean milliseconds per answered call, or -1 when one was not answered.
double MeanMs(QDBusConnection& bus, const QDBusMessage& call) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kReads; ++i) {
        if (bus.call(call).type() != QDBusMessage::ReplyMessage) {
            return -1.0;
        }
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / kReads;
}

bool Playing(QDBusConnection& bus) {
    const QDBusMessage reply = bus.call(Get(QStringLiteral("PlaybackStatus")));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().value<QDBusVariant>().variant().toString() ==
               QStringLiteral("Playing");
}

} // namespace
} // namespace corvaline::bench

int main(int argc, char** argv) {
    using namespace corvaline::bench;
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : CORVALINE_PROGRAM;
    corvaline::testsupport::TempDir dir;
    std::vector<std::string> notes;
    std::vector<SummaryRow> rows;

    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::SeparateChannels);
    daemon.setStandardErrorFile(QProcess::nullDevice());
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    QString address;
    if (daemon.waitForReadyRead(kStartTimeoutMs)) {
        address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    }

    // The edit's first text names a file in the working directory, which "Tocar" then plays.
    const bool written = corvaline::testsupport::WriteWav16(
        dir.File("H:\\MPEG AUDIO\\*.MP*"), 44100, 2, 600L * 44100,
        corvaline::testsupport::Sine(440.0, 44100, 0.3));
    QProcess player;
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("bench"));
    bool ready = !address.isEmpty() && written && bus.isConnected();
    if (ready) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        player.setProcessEnvironment(environment);
        player.setWorkingDirectory(QString::fromStdString(dir.Path()));
        player.setStandardOutputFile(QProcess::nullDevice());
        player.setStandardErrorFile(QProcess::nullDevice());
        player.start(program, {});
        ready = player.waitForStarted(kStartTimeoutMs);
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (ready && !Playing(bus)) {
        bus.call(Call(kPlayer, QStringLiteral("Play"), {}));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ready = std::chrono::steady_clock::now() < deadline;
    }
    if (!ready) {
        notes.push_back("the program did not come up playing on a bus of its own");
    }

    // The first calls set up the connection's machinery on both sides.
    if (ready) {
        MeanMs(bus, Call(QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"), {}));
    }
    const double ping = ready ? MeanMs(bus, Call(QStringLiteral("org.freedesktop.DBus.Peer"),
                                                 QStringLiteral("Ping"), {}))
                              : -1.0;
    rows.push_back({"Ping of the program (the bus's own round trip)",
                    ping >= 0 ? Format("%.3f ms", ping) : "failed", "", ""});
    for (const char* name : {"PlaybackStatus", "Metadata", "Position"}) {
        const double ms = ready ? MeanMs(bus, Get(QString::fromLatin1(name))) : -1.0;
        rows.push_back({Format("read of %s while playing, mean of %d", name, kReads),
                        ms >= 0 ? Format("%.3f ms", ms) : "failed",
                        Format("< %.0f ms", kReadTargetMs), Verdict(ms >= 0, ms < kReadTargetMs)});
    }
    const QDBusMessage all = Call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                  QStringLiteral("GetAll"), {kPlayer});
    const double allMs = ready ? MeanMs(bus, all) : -1.0;
    rows.push_back({Format("read of all the player's properties, mean of %d", kReads),
                    allMs >= 0 ? Format("%.3f ms", allMs) : "failed",
                    Format("< %.0f ms", kReadTargetMs),
                    Verdict(allMs >= 0, allMs < kReadTargetMs)});

    if (ready) {
        bus.call(Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"), {}));
    }
    if (!player.waitForFinished(kStartTimeoutMs)) {
        player.kill();
    }
    daemon.kill();
    daemon.waitForFinished();
    notes.push_back("offscreen Qt platform, SDL dummy audio driver; client and bus daemon on "
                    "the same machine");
    PrintSummary(rows, notes, "Corvaline on the session bus");
    return ready ? 0 : 1;
}
