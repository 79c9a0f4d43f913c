#include "DeckTimeTest.h"
#include "MessageBoxWatcher.h"

#include "CompressorUnit.h"

#include <QApplication>
#include <QObject>
#include <QTest>
#include <QTimer>

#include <filesystem>

using namespace corvaline::testsupport;

using TimerTickTest = DeckTimeTest;

namespace {

constexpr int kFullVolume = CCorvalineDlg::kFullVolume;

struct CrossfadeCase {
    double trackSeconds;
    int crossfadeMs;
    bool run;   // in a sequence run
    int leadMs; // the lead the hand-over comes at
};

} // namespace

class AutoCrossfadeTest : public DeckTimeTest, public testing::WithParamInterface<CrossfadeCase> {};

// The hand-over comes in the first tick that finds less than the set time
// left, once; the outgoing deck is stopped 128 ticks later, 3.2 s after. In a
// run a track too short to outlast a fade after the set time hands over at its
// middle instead.
TEST_P(AutoCrossfadeTest, HandsOverOnceInTheFirstTickWithLessThanTheTimeLeft) {
    const CrossfadeCase c = GetParam();
    SetPath(Track("track.wav", c.trackSeconds));
    AutoCrossfade(c.crossfadeMs);
    Play(0);
    Dlg().m_sequenceRunning = c.run ? 1 : 0;

    int handOverTick = 0;
    int remainingAtHandOver = 0;
    for (int tick = 1; tick < 2000 && handOverTick == 0; ++tick) {
        MixForTick();
        const int remaining = RemainingMs(0);
        Tick();
        if (Dlg().m_playing2) {
            handOverTick = tick;
            remainingAtHandOver = remaining;
        } else {
            ASSERT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume})) << "tick " << tick;
            ASSERT_GE(remaining, c.leadMs) << "no hand-over in tick " << tick;
        }
    }
    ASSERT_NE(handOverTick, 0);
    EXPECT_LT(remainingAtHandOver, c.leadMs);
    // Deck 2 starts on the same file, and is served in the tick that started it.
    EXPECT_EQ(State(1), (DeckState{1, 1, 0, 2}));
    EXPECT_EQ(State(0), (DeckState{1, 0, 1, 253}));

    FSOUND_STREAM* const incoming = Stream(1);
    int remainingAtStop = 0;
    for (int tick = 2; tick <= 128; ++tick) {
        MixForTick();
        remainingAtStop = RemainingMs(0);
        Tick();
        ASSERT_EQ(Stream(1), incoming) << "handed over a second time, tick " << tick;
        ASSERT_EQ(Dlg().m_playing1, tick < 128 ? 1 : 0) << "tick " << tick;
    }
    EXPECT_EQ(State(1), (DeckState{1, 0, 0, kFullVolume}));
    EXPECT_NEAR(remainingAtStop, c.leadMs - 3200, 60);
}

INSTANTIATE_TEST_SUITE_P(
    Times, AutoCrossfadeTest,
    testing::Values(CrossfadeCase{12.0, 5000, false, 5000},
                    CrossfadeCase{20.0, 15000, false, 15000}, CrossfadeCase{8.2, 5000, true, 5000},
                    CrossfadeCase{8.1, 5000, true, 4050}),
    [](const testing::TestParamInfo<CrossfadeCase>& info) {
        const CrossfadeCase& c = info.param;
        return std::to_string(c.crossfadeMs) + "ms" +
               (c.run ? "InARunOf" + std::to_string(int(c.trackSeconds * 10)) + "Tenths" : "");
    });

// 40 frames is a track of 0 ms by the library's account: its remaining time
// is never positive.
TEST_F(TimerTickTest, TracksShorterThanTheCrossfadeTimeHandOverInTheirFirstTick) {
    for (const long frames : {44100L, 40L}) {
        SCOPED_TRACE(testing::Message() << frames << " frames");
        CloseWindow();
        OpenWindow();
        SetPath(
            WriteWav("short" + std::to_string(frames) + ".wav", frames, Constant(0.25f, 0.25f)));
        AutoCrossfade(5000);
        Play(0);
        ASSERT_EQ(Dlg().m_playing1, 1) << "the file opens";
        Run(1);
        EXPECT_NE(Stream(1), nullptr) << "deck 2 was started";
    }
    // Without the automatic cross-fade, the track of no length just ends.
    CloseWindow();
    OpenWindow();
    SetPath(m_dir.File("short40.wav"));
    Play(0);
    Run(1);
    EXPECT_EQ(State(0), (DeckState{0, 0, 0, kFullVolume}));
    EXPECT_EQ(Progress(0), 0);
    EXPECT_EQ(Stream(1), nullptr);
}

// Outside a sequence run an ended deck only loses its playing flag: the bar
// keeps its place, the fades their state, and the other deck is untouched.
TEST_F(TimerTickTest, ATrackEndingByItselfOutsideASequenceRun) {
    SetPath(Track("half.wav", 0.5));
    Play(0);
    int ticks = 0;
    while (Dlg().m_playing1 && ticks < 100) {
        Run(1);
        ++ticks;
    }
    EXPECT_GE(ticks, 19);
    EXPECT_LE(ticks, 21);
    EXPECT_EQ(State(0), (DeckState{0, 0, 0, kFullVolume}));
    EXPECT_EQ(Progress(0), 100);
    EXPECT_EQ(State(1), (DeckState{0, 0, 0, 0}));
    EXPECT_EQ(Stream(1), nullptr);
    Run(5);
    EXPECT_EQ(Progress(0), 100);

    // Ending during a fade-in leaves it pending, one step further on.
    Play(0);
    FadeIn(0);
    int before = 0;
    for (int tick = 0; tick < 100 && Dlg().m_playing1; ++tick) {
        before = Dlg().m_volume1;
        Run(1);
    }
    EXPECT_GT(before, 30);
    EXPECT_EQ(State(0), (DeckState{0, 1, 0, before + 2}));
}

// With 2000 ms the outgoing track ends before its fade-out does: it keeps the
// fade-out and the volume reached, and the hand-over back to it fades its new
// track in from there.
TEST_F(TimerTickTest, AnOutgoingTrackThatEndsBeforeItsFadeOutKeepsItsVolumeForTheNextHandOver) {
    SetPath(Track("five.wav", 5.0));
    AutoCrossfade(2000);
    Play(0);
    for (int tick = 0; tick < 1000 && !Dlg().m_playing2; ++tick) {
        Run(1);
    }
    int before = Dlg().m_volume1;
    for (int tick = 0; tick < 1000 && Dlg().m_playing1; ++tick) {
        before = Dlg().m_volume1;
        Run(1);
    }
    const int leftOver = Dlg().m_volume1;
    EXPECT_EQ(leftOver, before - 2);
    EXPECT_GT(leftOver, 80);
    EXPECT_LT(leftOver, 110);
    EXPECT_EQ(State(0), (DeckState{0, 0, 1, leftOver}));
    EXPECT_EQ(Dlg().m_playing2, 1) << "no second hand-over";

    for (int tick = 0; tick < 1000 && !Dlg().m_fadeOut2; ++tick) {
        Run(1);
    }
    EXPECT_EQ(State(0), (DeckState{1, 1, 0, leftOver}));
    EXPECT_EQ(FSOUND_GetVolume(0), leftOver);
}

// During a sequence run a track that ends without a fade-out hands over; one
// that was already fading out does not hand over a second time.
TEST_F(TimerTickTest, ATrackEndingByItselfDuringASequenceRun) {
    const std::string next = Track("next.wav", 5.0);
    const std::string after = Track("after.wav", 5.0);
    SetPath(Track("half.wav", 0.5));
    Play(0);
    SetPath(next);
    Dlg().m_sequenceList.AddString(after);
    Dlg().m_sequenceRunning = 1;
    for (int tick = 0; tick < 100 && Dlg().m_playing1; ++tick) {
        Run(1);
    }
    EXPECT_EQ(State(0), (DeckState{0, 0, 0, kFullVolume}));
    EXPECT_EQ(State(1), (DeckState{1, 1, 0, 2}));
    EXPECT_EQ(Text(IDC_PATH), after);

    Dlg().m_sequenceList.AddString(next);
    SetPath(Track("short.wav", 0.5));
    Stop(1);
    Play(0);
    FadeOut(0);
    int before = 0;
    for (int tick = 0; tick < 100 && Dlg().m_playing1; ++tick) {
        before = Dlg().m_volume1;
        Run(1);
    }
    EXPECT_GT(before, 200);
    EXPECT_EQ(State(0), (DeckState{0, 0, 0, before}));
    EXPECT_EQ(Text(IDC_PATH), m_dir.File("short.wav"));
    EXPECT_EQ(Dlg().m_playing2, 0);
    EXPECT_EQ(Dlg().m_sequenceList.GetCount(), 1);
}

// A file cut short while its deck plays ends the deck where its sound ends, a second in,
// though its length still says five: no hand-over comes from that length, the bar stays
// where it got to, and in a run the next line takes over as after any end.
TEST_F(TimerTickTest, AFileCutShortWhileItsDeckPlaysEndsTheDeckThere) {
    for (const bool run : {false, true}) {
        SCOPED_TRACE(run ? "in a run" : "alone");
        const std::string path = Track("cut.wav", 5.0);
        const std::string next = Track("next.wav", 5.0);
        const auto header = std::filesystem::file_size(path) - 5 * 44100 * 4;
        SetPath(path);
        AutoCrossfade(2000);
        Play(0);
        SetPath(next);
        Dlg().m_sequenceRunning = run ? 1 : 0;
        Run(10);
        std::filesystem::resize_file(path, header + 44100 * 4);
        int ticks = 10;
        while (Dlg().m_playing1 && ticks < 400) {
            Run(1);
            ++ticks;
        }
        EXPECT_NEAR(ticks, 40, 2);
        EXPECT_EQ(State(0), (DeckState{0, 0, 0, kFullVolume}));
        EXPECT_EQ(Progress(0), 20);
        EXPECT_EQ(Dlg().m_playing2, run ? 1 : 0);
        Run(5);
        EXPECT_EQ(Dlg().m_playing1, 0);
        EXPECT_EQ(Progress(0), 20);
        Stop(1);
        Dlg().m_sequenceRunning = 0;
    }
}

TEST_F(TimerTickTest, PanelsAreSweptOnceAndIdleMetersFallToZero) {
    Run(1);
    EXPECT_EQ(Dlg().m_panelsFresh, 0);
    EXPECT_EQ(Dlg().m_panel1.m_level, 100);
    Run(2);
    EXPECT_EQ(Dlg().m_panel1.m_level, 90);
    EXPECT_EQ(Dlg().m_panel2.m_level, 90);

    // Minimised, the meters are left alone; the decks are not.
    Dlg().ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(Dlg().IsIconic());
    SetPath(Track("track.wav", 5.0));
    FadeIn(0);
    Run(5);
    EXPECT_EQ(Dlg().m_panel1.m_level, 90);
    EXPECT_EQ(Dlg().m_volume1, 10);
    EXPECT_GT(Progress(0), 0);
}

TEST_F(TimerTickTest, ANewCrossfadeTimeTakesEffectWithin22Ticks) {
    SetText(IDC_CROSSFADE_MS, "3000");
    Run(21);
    EXPECT_EQ(Dlg().m_crossfadeMs, 5000u);
    Run(1);
    EXPECT_EQ(Dlg().m_crossfadeMs, 3000u);
    SetText(IDC_CROSSFADE_MS, "12000");
    Run(21);
    EXPECT_EQ(Dlg().m_crossfadeMs, 3000u);
    Run(1);
    EXPECT_EQ(Dlg().m_crossfadeMs, 12000u);
}

// The refresh reads the cross-fade time edit while it has not the focus; an invalid value opens
// the validation message inside the tick. Ticks arriving while it is open do
// nothing, and once it closes the interrupted tick completes.
TEST_F(TimerTickTest, AValidationMessageInATickKeepsNestedTicksIdle) {
    SetPath(Track("track.wav", 20.0));
    FadeIn(0);
    Run(21);
    ASSERT_EQ(Dlg().m_volume1, 42);
    SetText(IDC_CROSSFADE_MS, "1999");
    g_gain.store(0.25, std::memory_order_relaxed);

    // Nested ticks come from a timer of their own, as the window's timer
    // would deliver them inside the message box's event loop. A box that a
    // nested tick opens is closed at once, so that a fault fails, not hangs.
    int nested = 0;
    bool ticking = false;
    bool idle = true;
    MessageBoxWatcher watcher([&] { return nested >= 3 || ticking; });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (nested >= 3 || ticking) {
            return;
        }
        const DeckState deck = State(0);
        const int progress = Progress(0);
        FSOUND_Update();
        FSOUND_Update();
        ticking = true;
        Tick();
        ticking = false;
        ++nested;
        idle = idle && Dlg().m_inTick == 1 && State(0) == deck && Progress(0) == progress &&
               Dlg().m_tickCount == 22;
    });
    ticker.start(10);
    Run(1); // the 22nd tick: the refresh
    ticker.stop();
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "Please enter an integer between 2000 and 15000.");
    EXPECT_EQ(nested, 3);
    EXPECT_TRUE(idle);
    EXPECT_EQ(Dlg().m_inTick, 0);
    EXPECT_EQ(Dlg().m_tickCount, 0);
    EXPECT_EQ(Dlg().m_crossfadeMs, 1999u);
    EXPECT_EQ(Text(IDC_GAIN), "0.25");
    EXPECT_EQ(Text(IDC_CROSSFADE_MS), "1999");

    // Ticks run again. The message left the focus in the edit, which the refresh leaves
    // alone from then on, so the user can type the value at any pace; leaving the edit
    // reads it, and asks again while it is wrong.
    EXPECT_EQ(Dlg().m_volume1, 44);
    Run(1);
    EXPECT_EQ(Dlg().m_volume1, 46);
    nested = 3;
    QWidget* window = Dlg().GetSafeHwnd();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ASSERT_EQ(QApplication::focusWidget(), Control(IDC_CROSSFADE_MS));
    SetText(IDC_CROSSFADE_MS, "2");
    Run(44);
    EXPECT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(Text(IDC_CROSSFADE_MS), "2");
    // Ticks go on under that box, a refresh among them: it must not open a second one.
    Dlg().m_tickCount = 21;
    nested = 0;
    ticker.start(10);
    Control(IDC_PATH)->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.Seen().size() >= 2u; }, 2000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QApplication::focusWidget() == Control(IDC_CROSSFADE_MS); }, 2000));
    ticker.stop();
    EXPECT_EQ(watcher.Seen().size(), 2u);
    SetText(IDC_CROSSFADE_MS, std::to_string(CCorvalineDlg::kCrossfadeMinMs));
    Run(22);
    EXPECT_EQ(Dlg().m_crossfadeMs, 2u);
    Control(IDC_PATH)->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(Dlg().m_crossfadeMs, 2000u);
    EXPECT_EQ(watcher.Seen().size(), 2u);
}

// A hand-over from the tick reads the controls through Play; a validation
// message there may see the window repainted before the tick draws on.
TEST_F(TimerTickTest, AValidationMessageInsideATickHandOverLetsTheTickFinish) {
    Dlg().m_autoCrossfade = 1;
    Dlg().UpdateControls();
    SetPath(Track("track.wav", 3.0));
    Play(0);
    SetText(IDC_CROSSFADE_MS, "1999");
    int polls = 0;
    MessageBoxWatcher watcher([&] {
        if (polls++ == 0) {
            Dlg().Invalidate();
        }
        return polls > 3;
    });
    Run(1);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(State(0), (DeckState{1, 0, 1, 253}));
    EXPECT_EQ(State(1), (DeckState{1, 1, 0, 2}));
    EXPECT_EQ(Dlg().m_inTick, 0);
    EXPECT_EQ(Dlg().m_panel1.m_pDC, nullptr);
}
