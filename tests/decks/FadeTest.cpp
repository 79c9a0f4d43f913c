#include "DeckTimeTest.h"
#include "MessageBoxWatcher.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace corvaline::testsupport;

namespace {

constexpr int kFullVolume = CCorvalineDlg::kFullVolume;

// Deck 1's state before the event, reached through the window's own buttons.
enum class From {
    Stopped,
    StoppedFadeInPending,
    StoppedFadeOutLeftOver,
    Playing,
    FadingIn,
    FadingOut
};
enum class Event {
    Play,
    PlayEmptyPath,
    Stop,
    FadeIn,
    FadeInEmptyPath,
    FadeOut,
    AwayTo2,
    TowardsFrom2,
    Tick
};
// The volume field afterwards, relative to what it held or what the channel had before.
enum class Volume { Zero, Full, Same, Plus2, Minus2, Channel };

struct Row {
    From from;
    Event event;
    int playing, fadeIn, fadeOut;
    Volume volume;
};

const char* Name(From f) {
    static const char* names[] = {"Stopped",
                                  "Stopped, fade-in pending",
                                  "Stopped, fade-out left over",
                                  "Playing",
                                  "Fading in",
                                  "Fading out"};
    return names[static_cast<int>(f)];
}
const char* Name(Event e) {
    static const char* names[] = {"Play",     "Play, empty path",          "Stop",
                                  "Fade in",  "Fade in, empty path",       "Fade out",
                                  "Out to 2", "Out to 1 (deck 2 playing)", "tick"};
    return names[static_cast<int>(e)];
}

} // namespace

class FadeTest : public DeckTimeTest {
  protected:
    void SetUp() override {
        DeckTimeTest::SetUp();
        m_track = Track("long.wav", 20.0);
        m_other = Track("other.wav", 20.0);
        SetPath(m_track);
    }

    // Each state is left with a volume of its own, so that a wrong source of
    // the volume (field, channel, 0 or 255) shows.
    void Reach(From from) {
        switch (from) {
        case From::Stopped:
            break;
        case From::StoppedFadeInPending: // field 255 from Stop, channel 20 from the fade
            Reach(From::FadingIn);
            Stop(0);
            break;
        case From::StoppedFadeOutLeftOver: // field and channel at 20
            Reach(From::StoppedFadeInPending);
            FadeOut(0);
            break;
        case From::Playing:
            Play(0);
            Run(2);
            break;
        case From::FadingIn:
            Reach(From::Playing);
            FadeIn(0);
            Run(10);
            break;
        case From::FadingOut:
            Reach(From::Playing);
            FadeOut(0);
            Run(10);
            break;
        }
    }

    void Apply(Event event) {
        switch (event) {
        case Event::Play:
            Play(0);
            break;
        case Event::PlayEmptyPath:
            SetPath("");
            Play(0);
            break;
        case Event::Stop:
            Stop(0);
            break;
        case Event::FadeIn:
            FadeIn(0);
            break;
        case Event::FadeInEmptyPath:
            SetPath("");
            FadeIn(0);
            break;
        case Event::FadeOut:
            FadeOut(0);
            break;
        case Event::AwayTo2:
            OutTo(2);
            break;
        case Event::TowardsFrom2:
            OutTo(1);
            break;
        case Event::Tick:
            Run(1);
            break;
        }
    }

    std::string m_track, m_other;
};

// Each state of a deck, reached by its buttons, against each request it can get.
TEST_F(FadeTest, EachStateAnswersEachRequest) {
    const std::vector<Row> rows = {
        {From::Stopped, Event::Play, 1, 0, 0, Volume::Full},
        {From::Stopped, Event::PlayEmptyPath, 0, 0, 0, Volume::Same},
        {From::Stopped, Event::FadeIn, 1, 1, 0, Volume::Zero},
        {From::Stopped, Event::FadeInEmptyPath, 0, 1, 0, Volume::Zero},
        {From::Stopped, Event::FadeOut, 0, 0, 1, Volume::Channel},
        {From::StoppedFadeInPending, Event::Play, 1, 1, 0, Volume::Same},
        {From::StoppedFadeInPending, Event::FadeIn, 1, 1, 0, Volume::Zero},
        {From::StoppedFadeInPending, Event::FadeOut, 0, 0, 1, Volume::Channel},
        {From::StoppedFadeOutLeftOver, Event::FadeIn, 1, 1, 0, Volume::Same},
        {From::StoppedFadeOutLeftOver, Event::Play, 1, 0, 0, Volume::Full},
        {From::StoppedFadeOutLeftOver, Event::Tick, 0, 0, 1, Volume::Same},
        {From::Playing, Event::FadeIn, 1, 1, 0, Volume::Zero},
        {From::Playing, Event::FadeOut, 1, 0, 1, Volume::Channel},
        {From::Playing, Event::AwayTo2, 1, 0, 1, Volume::Channel},
        {From::Playing, Event::TowardsFrom2, 1, 1, 0, Volume::Zero},
        {From::Playing, Event::Play, 1, 0, 0, Volume::Full},
        {From::Playing, Event::PlayEmptyPath, 1, 0, 0, Volume::Same},
        {From::Playing, Event::Stop, 0, 0, 0, Volume::Full},
        {From::Playing, Event::Tick, 1, 0, 0, Volume::Same},
        {From::FadingIn, Event::Tick, 1, 1, 0, Volume::Plus2},
        {From::FadingIn, Event::FadeIn, 1, 1, 0, Volume::Zero},
        {From::FadingIn, Event::TowardsFrom2, 1, 1, 0, Volume::Zero},
        {From::FadingIn, Event::FadeOut, 1, 0, 1, Volume::Channel},
        {From::FadingIn, Event::AwayTo2, 1, 0, 1, Volume::Channel},
        {From::FadingIn, Event::Play, 1, 1, 0, Volume::Full},
        {From::FadingIn, Event::Stop, 0, 1, 0, Volume::Full},
        {From::FadingOut, Event::Tick, 1, 0, 1, Volume::Minus2},
        {From::FadingOut, Event::FadeIn, 1, 1, 0, Volume::Same},
        {From::FadingOut, Event::TowardsFrom2, 1, 1, 0, Volume::Same},
        {From::FadingOut, Event::FadeOut, 1, 0, 1, Volume::Channel},
        {From::FadingOut, Event::Play, 1, 0, 0, Volume::Full},
        {From::FadingOut, Event::Stop, 0, 0, 0, Volume::Full},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(Name(row.from)) + " + " + Name(row.event));
        CloseWindow();
        OpenWindow();
        SetPath(m_track);
        if (row.event == Event::TowardsFrom2) {
            // A hand-over towards a playing deck needs the other deck playing.
            SetPath(m_other);
            Play(1);
            SetPath(m_track);
        }
        Reach(row.from);
        const DeckState before = State(0);
        const int channelBefore = FSOUND_GetVolume(0);
        FSOUND_STREAM* const streamBefore = Stream(0);

        Apply(row.event);

        const DeckState after = State(0);
        EXPECT_EQ(after.playing, row.playing);
        EXPECT_EQ(after.fadeIn, row.fadeIn);
        EXPECT_EQ(after.fadeOut, row.fadeOut);
        switch (row.volume) {
        case Volume::Zero:
            EXPECT_EQ(after.volume, 0);
            break;
        case Volume::Full:
            EXPECT_EQ(after.volume, kFullVolume);
            break;
        case Volume::Same:
            EXPECT_EQ(after.volume, before.volume);
            break;
        case Volume::Plus2:
            EXPECT_EQ(after.volume, before.volume + 2);
            break;
        case Volume::Minus2:
            EXPECT_EQ(after.volume, before.volume - 2);
            break;
        case Volume::Channel:
            EXPECT_EQ(after.volume, channelBefore);
            break;
        }
        if (after.playing) {
            // What is heard follows the field while a deck plays.
            EXPECT_EQ(FSOUND_GetVolume(0), after.volume);
            const bool restarted = row.event == Event::Play || !before.playing;
            EXPECT_EQ(Stream(0) != streamBefore, restarted) << "a fade keeps the track it fades";
        }
    }
}

TEST_F(FadeTest, FullFadeInAndFadeOutTake128TicksAndEndWhereTheyShould) {
    FadeIn(0);
    ASSERT_EQ(State(0), (DeckState{1, 1, 0, 0}));
    for (int tick = 1; tick <= 128; ++tick) {
        Run(1);
        ASSERT_EQ(Dlg().m_volume1, std::min(2 * tick, kFullVolume)) << "tick " << tick;
        ASSERT_EQ(Dlg().m_fadeIn1, tick < 128 ? 1 : 0) << "tick " << tick;
        ASSERT_EQ(FSOUND_GetVolume(0), Dlg().m_volume1);
    }
    Run(5);
    EXPECT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume}));

    FadeOut(0);
    for (int tick = 1; tick < 128; ++tick) {
        Run(1);
        ASSERT_EQ(State(0), (DeckState{1, 0, 1, kFullVolume - 2 * tick})) << "tick " << tick;
        ASSERT_EQ(FSOUND_GetVolume(0), Dlg().m_volume1);
    }
    EXPECT_GT(Progress(0), 0);
    Run(1);
    EXPECT_EQ(State(0), (DeckState{0, 0, 0, kFullVolume}));
    EXPECT_EQ(Progress(0), 0);
    EXPECT_EQ(FSOUND_GetVolume(0), 1) << "the channel keeps the last volume it was given";
}

TEST_F(FadeTest, ReversedFadesGoOnFromTheVolumeReached) {
    Play(0);
    FadeOut(0);
    Run(40); // 175
    FadeIn(0);
    EXPECT_EQ(State(0), (DeckState{1, 1, 0, 175}));
    Run(10);
    EXPECT_EQ(State(0), (DeckState{1, 1, 0, 195}));
    FadeOut(0);
    Run(97);
    EXPECT_EQ(State(0), (DeckState{1, 0, 1, 1}));
    Run(1);
    EXPECT_EQ(State(0), (DeckState{0, 0, 0, kFullVolume}));
}

// "Out to 2" over the four combinations of playing decks, and "Out to 1" as
// its mirror where deck 1 is the one left alone.
TEST_F(FadeTest, HandOverWithEachCombinationOfPlayingDecks) {
    struct Case {
        bool deck1, deck2;
    };
    for (const Case c :
         {Case{true, false}, Case{false, false}, Case{true, true}, Case{false, true}}) {
        SCOPED_TRACE(testing::Message() << "deck 1 " << (c.deck1 ? "playing" : "stopped")
                                        << ", deck 2 " << (c.deck2 ? "playing" : "stopped"));
        CloseWindow();
        OpenWindow();
        if (c.deck2) {
            SetPath(m_other);
            Play(1);
        }
        SetPath(m_track);
        if (c.deck1) {
            Play(0);
        }
        Run(3);
        const DeckState deck1 = State(0);
        const DeckState deck2 = State(1);
        FSOUND_STREAM* const stream2 = Stream(1);
        const int channel1 = FSOUND_GetVolume(0);

        OutTo(2);

        if (!c.deck1 && c.deck2) {
            EXPECT_EQ(State(0), deck1);
            EXPECT_EQ(State(1), deck2);
            continue;
        }
        EXPECT_EQ(State(1), (DeckState{1, 1, 0, 0}));
        EXPECT_EQ(FSOUND_GetVolume(1), 0);
        EXPECT_EQ(Stream(1) == stream2, c.deck2) << "a playing deck keeps its track";
        EXPECT_EQ(State(0), (DeckState{deck1.playing, 0, 1, channel1}));
        if (!c.deck1) {
            continue;
        }
        // The two fades cross: one falls as the other rises, tick for tick.
        for (int tick = 1; tick < 128; ++tick) {
            Run(1);
            ASSERT_EQ(Dlg().m_volume1 + Dlg().m_volume2, kFullVolume) << "tick " << tick;
        }
        Run(1);
        EXPECT_EQ(State(0), (DeckState{0, 0, 0, kFullVolume}));
        EXPECT_EQ(State(1), (DeckState{1, 0, 0, kFullVolume}));
    }
}

TEST_F(FadeTest, OutTo1IsTheMirrorOfOutTo2) {
    SetPath(m_other);
    Play(1);
    SetPath(m_track);
    OutTo(1);
    EXPECT_EQ(State(0), (DeckState{1, 1, 0, 0}));
    EXPECT_EQ(State(1), (DeckState{1, 0, 1, kFullVolume}));
    OutTo(1); // deck 2 still plays: deck 1 fades in again from 0
    Run(128);
    EXPECT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume}));
    EXPECT_EQ(State(1), (DeckState{0, 0, 0, kFullVolume}));
    OutTo(1); // deck 2 stopped, deck 1 playing: nothing
    EXPECT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume}));
    EXPECT_EQ(State(1), (DeckState{0, 0, 0, kFullVolume}));
}

TEST_F(FadeTest, CrossFadeHandsOverOnlyFromTheOneDeckThatPlays) {
    Click(IDC_CROSSFADE); // neither plays
    EXPECT_EQ(State(0), (DeckState{0, 0, 0, 0}));
    EXPECT_EQ(State(1), (DeckState{0, 0, 0, 0}));

    Play(0);
    SetPath(m_other);
    Play(1);
    Click(IDC_CROSSFADE); // both play
    EXPECT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume}));
    EXPECT_EQ(State(1), (DeckState{1, 0, 0, kFullVolume}));

    Stop(0);
    Click(IDC_CROSSFADE); // deck 2 alone: over to deck 1
    EXPECT_EQ(State(0), (DeckState{1, 1, 0, 0}));
    EXPECT_EQ(State(1), (DeckState{1, 0, 1, kFullVolume}));
    Run(128);
    Click(IDC_CROSSFADE); // deck 1 alone: over to deck 2
    EXPECT_EQ(State(0), (DeckState{1, 0, 1, kFullVolume}));
    EXPECT_EQ(State(1), (DeckState{1, 1, 0, 0}));
}

// A hand-over to a file that does not open, by button or by the automatic cross-fade,
// leaves the playing deck as it was and the other with no fade-in for a later Play. The
// automatic one is not tried on every tick (each try reads the controls, and would bring a
// validation message back at once), only once the edit names another file.
TEST_F(FadeTest, HandOverTowardsADeckThatCannotStartLeavesThePlayingDeckAlone) {
    Play(0);
    Run(3);
    SetPath(m_dir.File("missing.wav"));
    OutTo(2);
    Click(IDC_CROSSFADE);
    EXPECT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume}));
    EXPECT_EQ(State(1), (DeckState{0, 0, 0, 0}));
    Run(128);
    EXPECT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume}));
    SetPath(m_other);
    Play(1);
    Run(1);
    EXPECT_EQ(State(1), (DeckState{1, 0, 0, kFullVolume}));

    Stop(1);
    SetPath(m_dir.File("missing.wav"));
    AutoCrossfade(CCorvalineDlg::kCrossfadeMaxMs);
    Run(80); // past 15 s before the end
    MessageBoxWatcher watcher;
    SetText(IDC_CROSSFADE_MS, "1");
    Control(IDC_CROSSFADE_MS)->setFocus();
    Run(30);
    EXPECT_TRUE(watcher.Seen().empty());
    EXPECT_EQ(State(0), (DeckState{1, 0, 0, kFullVolume}));
    SetText(IDC_CROSSFADE_MS, std::to_string(CCorvalineDlg::kCrossfadeMaxMs));
    SetPath(m_other);
    Run(1);
    EXPECT_EQ(State(0), (DeckState{1, 0, 1, 253}));
    EXPECT_EQ(State(1), (DeckState{1, 1, 0, 2}));
}

// During a sequence run each hand-over takes the top line of the list into
// the path edit; a hand-over that does nothing takes nothing.
TEST_F(FadeTest, HandOverDuringASequenceRunTakesTheNextEntry) {
    const std::string next = Track("next.wav", 5.0);
    const std::string after = Track("after.wav", 5.0);
    Play(0);
    SetPath(m_other);
    Play(1);
    Dlg().m_sequenceList.AddString(next);
    Dlg().m_sequenceList.AddString(after);
    Dlg().m_sequenceRunning = 1;

    Stop(0);
    OutTo(2); // deck 1 stopped, deck 2 playing: nothing, and no entry taken
    EXPECT_EQ(Text(IDC_PATH), m_other);
    EXPECT_EQ(Dlg().m_sequenceList.GetCount(), 2);

    SetPath(m_track);
    Play(0);
    FSOUND_STREAM* const stream2 = Stream(1);
    OutTo(2); // both play: deck 2 fades in on its own track; the waiting file is passed over
    EXPECT_EQ(Stream(1), stream2);
    EXPECT_EQ(Text(IDC_PATH), next);
    EXPECT_EQ(Dlg().m_path, next);
    EXPECT_EQ(Dlg().m_sequenceList.GetCount(), 1);
}

// What is heard through a hand-over: deck 1 plays on the left only and deck 2
// on the right only, so each side of the output is one deck. The level control
// is switched off to hear the decks' own mix; it has tests of its own.
TEST_F(FadeTest, AHandOverIsHeardAsOneSteadyCrossingWithoutGapOrClick) {
    SetPath(Track("left.wav", 10.0, 0.5f, 0.0f));
    Play(0);
    FSOUND_DSP_SetActive(Dlg().m_compressorUnit, 0);
    Run(5);
    SetPath(Track("right.wav", 10.0, 0.0f, 0.5f));
    OutputCapture& out = Out(200 * FSOUND_BLOCK_FRAMES);
    out.Clear();
    OutTo(2);
    FSOUND_DSP_SetActive(Dlg().m_compressorUnit, 0);
    Run(140);
    ASSERT_EQ(out.DroppedFrames(), 0);
    ASSERT_GT(out.Frames(), 150 * FSOUND_BLOCK_FRAMES);

    const long blocks = out.Frames() / FSOUND_BLOCK_FRAMES;
    double lastLeft = 1.0, lastRight = 0.0;
    long leftSilentFrom = -1, rightFullFrom = -1;
    for (long b = 0; b < blocks; ++b) {
        const long begin = b * FSOUND_BLOCK_FRAMES, end = begin + FSOUND_BLOCK_FRAMES;
        const double left = out.Rms(begin, end, OutputCapture::Side::Left);
        const double right = out.Rms(begin, end, OutputCapture::Side::Right);
        ASSERT_LE(left, lastLeft + 1e-4) << "block " << b;
        ASSERT_GE(right, lastRight - 1e-4) << "block " << b;
        ASSERT_NEAR(left + right, 0.5, 0.01) << "a gap in block " << b;
        lastLeft = left;
        lastRight = right;
        if (leftSilentFrom < 0 && out.Peak(begin, end, OutputCapture::Side::Left) == 0.0) {
            leftSilentFrom = begin;
        }
        if (rightFullFrom < 0 && right >= 0.5 - 1e-4) {
            rightFullFrom = begin;
        }
    }
    // 128 ticks of 1102.5 frames, give or take a block.
    EXPECT_NEAR(leftSilentFrom, 141120, 2 * FSOUND_BLOCK_FRAMES);
    EXPECT_NEAR(rightFullFrom, 141120, 2 * FSOUND_BLOCK_FRAMES);

    int worstStep = 0;
    for (long i = 1; i < out.Frames(); ++i) {
        worstStep = std::max({worstStep, std::abs(out.Left(i) - out.Left(i - 1)),
                              std::abs(out.Right(i) - out.Right(i - 1))});
    }
    EXPECT_LE(worstStep, 16) << "a click";
}
