// The sound library fails to start: the window says so once and then works as usual, the
// library carrying on without a device.
#include "MessageBoxWatcher.h"
#include "WindowFixture.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

using namespace corvaline::testsupport;

namespace {

class StartupFailureTest : public WindowTest {
  protected:
    void SetUp() override {
        if (const char* driver = std::getenv("SDL_AUDIODRIVER")) {
            m_savedDriver = driver;
        }
        setenv("SDL_AUDIODRIVER", "corvaline-no-such-driver", 1);
        // The message comes while the window is being set up, with the timer ticking.
        m_watcher = std::make_unique<MessageBoxWatcher>([this] { return ++m_polls > 20; });
        m_keepTickTimer = true;
        OpenWindow(FSOUND_OUTPUT_DEVICE);
        if (m_savedDriver) {
            setenv("SDL_AUDIODRIVER", m_savedDriver->c_str(), 1);
        } else {
            unsetenv("SDL_AUDIODRIVER");
        }
        Dlg().KillTimer(kTickTimer);
    }

    std::optional<std::string> m_savedDriver;
    std::unique_ptr<MessageBoxWatcher> m_watcher;
    int m_polls = 0;
};

} // namespace

TEST_F(StartupFailureTest, SaysSoOnceAndTheWindowWorks) {
    ASSERT_EQ(m_watcher->Seen().size(), 1u);
    EXPECT_EQ(m_watcher->Seen()[0].text, "Erro ao iniciar o FMOD.DLL");
    EXPECT_EQ(m_watcher->Seen()[0].caption, "Tem que sair do programa.");
    EXPECT_EQ(m_watcher->Seen()[0].icon, QMessageBox::Information);
    EXPECT_EQ(Dlg().m_soundInitFailed, 1);
    EXPECT_EQ(Dlg().m_panelsFresh, 0) << "ticks run while the message waits";
    EXPECT_TRUE(Dlg().GetSafeHwnd()->isVisible());

    SetPath(WriteWav("track.wav", 44100, Constant(0.25f, 0.25f)));
    Click(IDC_TOCAR_1);
    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_NE(FSOUND_IsPlaying(0), 0);
    EXPECT_NE(Dlg().m_compressorUnit, nullptr);
    Click(IDC_PARAR_1);
    EXPECT_EQ(Dlg().m_playing1, 0);
    Tick(3);
    EXPECT_EQ(m_watcher->Seen().size(), 1u);
}
