// The program as the desktop's media controls see it: the real binary on a session bus of
// the test's own, read and steered with dbus-send while dbus-monitor records what it
// announces. Without dbus-daemon, dbus-send or dbus-monitor the tests report themselves
// skipped.
#include "AudioFiles.h"
#include "ChildProcess.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sndfile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace corvaline::testsupport;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
constexpr long kTrackFrames = 30L * kRate;
// The edit's first text, read on Linux as the name of a file in the working directory: a
// file of that name is what "Tocar" of deck 1 plays before anything is typed.
constexpr const char* kFirstPath = "H:\\MPEG AUDIO\\*.MP*";

// Bounds on waiting, never on speed.
constexpr auto kStartBound = 60s;
constexpr auto kCallBound = 30s;
constexpr auto kExitBound = 60s;

const std::string kPlayerPath = "/org/mpris/MediaPlayer2";

template <class Condition> bool WaitFor(Condition condition, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class RemoteControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"dbus-daemon", "dbus-send", "dbus-monitor"}) {
            if (!OnPath(tool)) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        m_home = m_dir.File("home");
        std::filesystem::create_directory(m_home);
    }

    // A bus of the test's own, from a daemon that says where it listens and ends with it.
    void StartBus() {
        int pipeFds[2];
        ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
        ChildProcess::Options options;
        options.keepFd = pipeFds[1];
        options.outputFile = m_dir.File("bus.log");
        m_bus = ChildProcess({"dbus-daemon", "--session", "--nofork",
                              "--print-address=" + std::to_string(pipeFds[1])},
                             options);
        close(pipeFds[1]);
        std::string text;
        ReadPipe(pipeFds[0], std::chrono::steady_clock::now() + kStartBound, text,
                 [](const std::string& t) { return t.find('\n') != std::string::npos; });
        close(pipeFds[0]);
        ASSERT_NE(text.find('\n'), std::string::npos) << "the bus did not start";
        m_address = text.substr(0, text.find('\n'));
    }

    void StartProgram(const std::string& busAddress) {
        // D-Bus's library leaves memory unreleased at exit: its leak, not ours, which a
        // sanitizer build would otherwise make the program's exit status.
        const std::string suppressions = m_dir.File("lsan.supp");
        std::ofstream(suppressions) << "leak:libdbus-1.so\n";
        ChildProcess::Options options;
        options.environment = EnvironmentWith({"DBUS_SESSION_BUS_ADDRESS=" + busAddress,
                                               "QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy",
                                               "HOME=" + m_home, "XDG_RUNTIME_DIR=" + m_dir.Path(),
                                               "LSAN_OPTIONS=suppressions=" + suppressions},
                                              {"DISPLAY", "WAYLAND_DISPLAY"});
        options.outputFile = m_dir.File("program.log");
        options.directory = m_dir.Path();
        m_program = ChildProcess({CORVALINE_PROGRAM}, options);
        ASSERT_TRUE(m_program.Started()) << "cannot start " << CORVALINE_PROGRAM;
    }

    // dbus-send's printed reply, or nothing when the call failed.
    std::optional<std::string> Send(const std::vector<std::string>& call) {
        std::vector<std::string> argv = {"dbus-send", "--bus=" + m_address, "--print-reply",
                                         "--dest=org.mpris.MediaPlayer2.corvaline", kPlayerPath};
        argv.insert(argv.end(), call.begin(), call.end());
        return RunForOutput(argv, {}, kCallBound);
    }

    std::string Property(const std::string& interface, const std::string& name) {
        return Send(
                   {"org.freedesktop.DBus.Properties.Get", "string:" + interface, "string:" + name})
            .value_or("");
    }

    std::string Player(const std::string& name) {
        return Property("org.mpris.MediaPlayer2.Player", name);
    }

    bool StatusBecomes(const char* status) {
        const std::string printed = std::string("string \"") + status + "\"";
        return WaitFor([&] { return Player("PlaybackStatus").find(printed) != std::string::npos; },
                       kCallBound);
    }

    std::string ProgramLog() const {
        std::ifstream file(m_dir.File("program.log"));
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    TempDir m_dir;
    std::string m_home;
    std::string m_address;
    ChildProcess m_bus;
    ChildProcess m_program;
};

} // namespace

// One session: what the player says of itself, Play, Next (a hand-over: the deck fading in
// is the one heard), Stop and Quit, and a PropertiesChanged for each change of status or
// track and none for the ticks between.
TEST_F(RemoteControlTest, StatusTrackAndRequestsOnTheBus) {
    ASSERT_NO_FATAL_FAILURE(StartBus());
    ASSERT_TRUE(WriteTagged(m_dir.File(kFirstPath), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
                            kTrackFrames, Sine(440.0, kRate, 0.3),
                            {{SF_STR_TITLE, "Caf\u00e9 Noir"}, {SF_STR_ARTIST, "The Band"}}));
    ChildProcess::Options monitorOptions;
    monitorOptions.outputFile = m_dir.File("monitor.log");
    // Listening long before the first change: the calls below take round trips of the bus.
    ChildProcess monitor({"dbus-monitor", "--address", m_address,
                          "type='signal',interface='org.freedesktop.DBus.Properties',"
                          "member='PropertiesChanged'"},
                         monitorOptions);
    ASSERT_NO_FATAL_FAILURE(StartProgram(m_address));

    ASSERT_TRUE(WaitFor(
        [&] {
            return RunForOutput({"dbus-send", "--bus=" + m_address, "--print-reply",
                                 "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus.NameHasOwner",
                                 "string:org.mpris.MediaPlayer2.corvaline"},
                                {}, kCallBound)
                       .value_or("")
                       .find("boolean true") != std::string::npos;
        },
        kStartBound))
        << ProgramLog();
    EXPECT_TRUE(StatusBecomes("Stopped"));
    const std::string root =
        Send({"org.freedesktop.DBus.Properties.GetAll", "string:org.mpris.MediaPlayer2"})
            .value_or("");
    EXPECT_NE(root.find("string \"Corvaline\""), std::string::npos) << root;
    EXPECT_NE(root.find("string \"corvaline\""), std::string::npos) << root;
    for (const char* name : {"CanPause", "CanGoPrevious", "CanSeek"}) {
        EXPECT_NE(Player(name).find("boolean false"), std::string::npos) << name;
    }
    for (const char* name : {"CanPlay", "CanGoNext", "CanControl"}) {
        EXPECT_NE(Player(name).find("boolean true"), std::string::npos) << name;
    }
    // Pause pauses nothing, and nothing plays yet.
    ASSERT_TRUE(Send({"org.mpris.MediaPlayer2.Player.Pause"}));

    ASSERT_TRUE(Send({"org.mpris.MediaPlayer2.Player.Play"}));
    ASSERT_TRUE(StatusBecomes("Playing"));
    const std::string first = Player("Metadata");
    EXPECT_NE(first.find("object path \"/org/corvaline/Track/1\""), std::string::npos) << first;
    EXPECT_NE(first.find("string \"Caf\u00e9 Noir\""), std::string::npos) << first;
    EXPECT_NE(first.find("string \"The Band\""), std::string::npos) << first;
    EXPECT_EQ(first.find("xesam:album"), std::string::npos) << first;
    EXPECT_NE(first.find("int64 30000000"), std::string::npos) << first;
    const std::string url = "file://" + m_dir.Path() + "/H:%5CMPEG%20AUDIO%5C*.MP*";
    EXPECT_NE(first.find("string \"" + url + "\""), std::string::npos) << first;
    EXPECT_TRUE(WaitFor([&] { return Player("Position").find("int64 0") == std::string::npos; },
                        kCallBound));
    // Play again while a deck plays starts nothing new.
    ASSERT_TRUE(Send({"org.mpris.MediaPlayer2.Player.PlayPause"}));

    ASSERT_TRUE(Send({"org.mpris.MediaPlayer2.Player.Next"}));
    EXPECT_TRUE(WaitFor(
        [&] { return Player("Metadata").find("/org/corvaline/Track/2") != std::string::npos; },
        kCallBound));

    ASSERT_TRUE(Send({"org.mpris.MediaPlayer2.Player.Stop"}));
    ASSERT_TRUE(StatusBecomes("Stopped"));
    EXPECT_NE(Player("Metadata").find("/org/mpris/MediaPlayer2/TrackList/NoTrack"),
              std::string::npos);

    ASSERT_TRUE(Send({"org.mpris.MediaPlayer2.Quit"}));
    const std::optional<int> status = m_program.WaitExit(kExitBound);
    ASSERT_TRUE(status.has_value()) << "the program did not end on Quit";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_EQ(ProgramLog(), "");

    // Play, Next and Stop: three changes, over some hundred ticks.
    std::string signals;
    EXPECT_TRUE(WaitFor(
        [&] {
            std::ifstream file(m_dir.File("monitor.log"));
            std::ostringstream text;
            text << file.rdbuf();
            signals = text.str();
            return Count(signals, "member=PropertiesChanged") >= 3;
        },
        kCallBound));
    monitor.Terminate(5s);
    EXPECT_EQ(Count(signals, "member=PropertiesChanged"), 3u) << signals;
    EXPECT_EQ(Count(signals, "string \"Playing\""), 2u) << signals;
    EXPECT_EQ(Count(signals, "string \"Stopped\""), 1u) << signals;
}

// No bus to be on: the program starts, plays and says nothing of it.
TEST_F(RemoteControlTest, WithoutASessionBusNothingIsSaid) {
    ASSERT_NO_FATAL_FAILURE(StartProgram("unix:path=" + m_dir.File("no-bus")));
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(m_program.Running()) << ProgramLog();
    m_program.Terminate(5s);
    EXPECT_EQ(ProgramLog(), "");
}
