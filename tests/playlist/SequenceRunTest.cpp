#include "PlaylistTest.h"

#include <QCoreApplication>
#include <QListView>
#include <QTest>

#include <algorithm>
#include <set>

using namespace corvaline::testsupport;

namespace {

// Built by appending: GCC 12 at -O3 takes "literal" + std::string for an overlapping copy.
std::string Numbered(const char* prefix, int number, const char* suffix) {
    std::string name = prefix;
    name += std::to_string(number);
    name += suffix;
    return name;
}

class SequenceRunTest : public PlaylistTest {
  protected:
    // Entries whose names say their number; empty files, for the shuffle alone.
    std::vector<std::string> AddNamed(int count) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(m_dir.File(Numbered("t", 10 + i, ".mp3")));
            EXPECT_TRUE(WriteBytes(paths.back(), {}));
        }
        Dlg().AddFromSearch(m_dir.Path() + "/*.*", 0);
        return paths;
    }
    // Playable entries, track i lasting (i + 1) tenths of a second so that a deck's length
    // tells which one it plays.
    std::vector<std::string> AddTracks(int count) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(
                WriteWav(Numbered("w", i, ".wav"), 4410L * (i + 1), Constant(0.1f, 0.1f)));
        }
        Dlg().AddFromSearch(m_dir.Path() + "/*.*", 0);
        return paths;
    }
    static std::vector<std::string> Sorted(std::vector<std::string> lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    void ExpectRunning(bool running) {
        EXPECT_EQ(Dlg().m_sequenceRunning, running ? 1 : 0);
        EXPECT_EQ(Enabled(IDC_EXECUTE), !running);
        EXPECT_EQ(Enabled(IDC_CANCEL_LIST), running);
        EXPECT_EQ(Enabled(IDC_AUTO_CROSSFADE), !running);
    }
};

TEST_F(SequenceRunTest, RandomizePlacesEveryEntryOncePerRoundInIndependentOrders) {
    const auto paths = AddNamed(7);
    std::set<std::vector<std::string>> orders;
    for (int round = 0; round < 20; ++round) {
        Click(IDC_RANDOMIZE);
        const auto lines = Lines();
        EXPECT_EQ(Sorted(lines), paths);
        EXPECT_EQ(PickedFlags(), std::vector<int>(7, 1));
        EXPECT_EQ(Dlg().m_sequenceList.GetCurSel(), 0);
        orders.insert(lines);
    }
    EXPECT_GT(orders.size(), 1u);
    EXPECT_EQ(Entries(), paths);
}

// Past the generator's 32768 values every entry must still be reachable by a probe: else
// most of a long playlist is left to the in-order scan, slowly, and stays in its order.
TEST_F(SequenceRunTest, RandomizeOfAPlaylistLongerThanTheGeneratorsRangeShufflesItAll) {
    constexpr unsigned kCount = 70000;
    for (unsigned i = 0; i < kCount; ++i) {
        Dlg().m_sequence.push_back(SequenceEntry{std::to_string(i), 0});
    }
    Click(IDC_RANDOMIZE);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), kCount);
    std::vector<int> seen(kCount, 0);
    unsigned risesInSecondHalf = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const unsigned number = std::stoul(lines[i]);
        ASSERT_LT(number, kCount);
        ++seen[number];
        if (i > kCount / 2 && number > std::stoul(lines[i - 1])) {
            ++risesInSecondHalf;
        }
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(kCount));
    // About half the neighbours rise in a random order; nearly all in the added one.
    EXPECT_LT(risesInSecondHalf, kCount / 2 * 6 / 10);
}

TEST_F(SequenceRunTest, EntriesAddedAfterAShuffleComeFirstInTheNext) {
    AddNamed(3);
    Click(IDC_RANDOMIZE);
    const std::string late1 = m_dir.File("u1.wav");
    const std::string late2 = m_dir.File("u2.wav");
    ASSERT_TRUE(WriteBytes(late1, {}) && WriteBytes(late2, {}));
    Dlg().AddFromSearch(m_dir.File("u*.wav"), 0);
    Click(IDC_RANDOMIZE);

    // Once they are used up a new round begins, drawing from every entry.
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(Sorted({lines[0], lines[1]}), std::vector<std::string>({late1, late2}));
    const auto all = Entries();
    for (const auto& line : lines) {
        EXPECT_NE(std::find(all.begin(), all.end(), line), all.end()) << line;
    }
    const auto flags = PickedFlags();
    EXPECT_EQ(std::count(flags.begin(), flags.end(), 1), 3);
}

TEST(RandomIndex, StaysBelowTheEntryCountAtTheGeneratorsExtremes) {
    const unsigned most = 0xffffffffu;
    for (unsigned n : {1u, 2u, 5u, 32767u, 32768u, 200000u, most}) {
        EXPECT_EQ(CCorvalineDlg::IndexFromDraw(0, n), 0u) << n;
        EXPECT_EQ(CCorvalineDlg::IndexFromDraw(32767, n), n - 1) << n;
        EXPECT_LT(CCorvalineDlg::IndexFromDraw(32766, n), n) << n;
    }
    // Past 2^32 / 32767 entries a 32-bit product would wrap to a small index.
    EXPECT_EQ(CCorvalineDlg::IndexFromDraw(32766, 200000), 199993u);
}

TEST_F(SequenceRunTest, NextInSequenceTakesTheTopLineAndRefillsWhenEmpty) {
    const auto paths = AddNamed(3);
    Dlg().m_sequenceList.SetCurSel(2);
    EXPECT_EQ(Dlg().NextInSequence(), paths[0]);
    EXPECT_EQ(Dlg().NextInSequence(), paths[1]);
    EXPECT_EQ(Dlg().NextInSequence(), paths[2]);
    EXPECT_TRUE(Lines().empty());

    // The empty list is refilled with the whole playlist, shuffled, and its top is taken.
    const std::string next = Dlg().NextInSequence();
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    lines.push_back(next);
    EXPECT_EQ(Sorted(lines), paths);
    EXPECT_EQ(Entries(), paths);
}

TEST_F(SequenceRunTest, ExecuteStartsDeckOneOnTheTopLineAndPreparesTheNext) {
    const auto paths = AddTracks(3);
    Click(IDC_EXECUTE);

    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_EQ(Dlg().m_lengthMs1, 100); // the first line's track
    EXPECT_EQ(Dlg().m_playing2, 0);
    EXPECT_EQ(Text(IDC_PATH), paths[1]);
    EXPECT_EQ(Lines(), std::vector<std::string>({paths[2]}));
    EXPECT_TRUE(Checked(IDC_AUTO_CROSSFADE));
    ExpectRunning(true);

    // Cancel ends the run only: the deck plays on, the option stays on, nothing is lost.
    Click(IDC_CANCEL_LIST);
    ExpectRunning(false);
    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_TRUE(Checked(IDC_AUTO_CROSSFADE));
    EXPECT_EQ(Text(IDC_PATH), paths[1]);
    EXPECT_EQ(Lines(), std::vector<std::string>({paths[2]}));

    // And the run can start again.
    Click(IDC_EXECUTE);
    ExpectRunning(true);
}

TEST_F(SequenceRunTest, ExecuteWithOneEntryTakesItTwice) {
    const auto paths = AddTracks(1);
    Click(IDC_EXECUTE);
    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_EQ(Text(IDC_PATH), paths[0]);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(PickedFlags(), std::vector<int>({1}));
}

TEST_F(SequenceRunTest, AnEmptyPlaylistShufflesNothingAndRunsSilently) {
    Click(IDC_RANDOMIZE);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Dlg().m_sequenceList.GetCurSel(), LB_ERR);
    Click(IDC_EXECUTE);
    ExpectRunning(true);
    EXPECT_TRUE(Checked(IDC_AUTO_CROSSFADE));
    EXPECT_EQ(Text(IDC_PATH), "");
    EXPECT_EQ(Dlg().m_playing1 + Dlg().m_playing2, 0);
}

// Files that do not open are passed over for the next lines, by "Execute" and by a
// hand-over alike; a playlist with nothing playable gives up after one round.
TEST_F(SequenceRunTest, ARunPassesOverFilesThatDoNotOpen) {
    for (const char* name : {"a-empty.mp3", "b-text.wav", "d-empty.wav"}) {
        ASSERT_TRUE(WriteBytes(m_dir.File(name), {'x'}));
    }
    const std::string good = WriteWav("c-good.wav", 44100, Constant(0.1f, 0.1f));
    Dlg().AddFromSearch(m_dir.Path() + "/*.*", 0);
    Click(IDC_EXECUTE);
    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_EQ(Dlg().m_lengthMs1, 1000);
    EXPECT_EQ(Text(IDC_PATH), m_dir.File("d-empty.wav"));

    // The hand-over's file is bad too: the next line, found by a refill, is played instead.
    Click(IDC_OUT_TO_2);
    EXPECT_EQ(Dlg().m_playing2, 1);
    EXPECT_EQ(Dlg().m_lengthMs2, 1000);
    EXPECT_EQ(Dlg().m_fadeIn2, 1);
    EXPECT_EQ(Entries().size(), 4u);

    Click(IDC_CANCEL_LIST);
    Click(IDC_PARAR_1);
    Click(IDC_PARAR_2);
    Click(IDC_CLEAR);
    for (const char* name : {"a-empty.mp3", "b-text.wav", "d-empty.wav"}) {
        Dlg().AddFromSearch(m_dir.File(name), 0);
    }
    Click(IDC_EXECUTE);
    EXPECT_EQ(Dlg().m_playing1 + Dlg().m_playing2, 0);
    ExpectRunning(true);
}

TEST_F(SequenceRunTest, ExecuteWhileADeckPlaysChangesOnlyTheRunState) {
    const auto paths = AddTracks(2);
    const std::string playing = WriteWav("other.wav", 44100, Constant(0.1f, 0.1f));
    SetPath(playing);
    Click(IDC_TOCAR_2);
    ASSERT_EQ(Dlg().m_playing2, 1);
    Click(IDC_EXECUTE);
    ExpectRunning(true);
    EXPECT_TRUE(Checked(IDC_AUTO_CROSSFADE));
    EXPECT_EQ(Text(IDC_PATH), playing);
    EXPECT_EQ(Lines(), paths);
    EXPECT_EQ(Dlg().m_playing1, 0);
}

TEST_F(SequenceRunTest, DoubleClickLoadsTheLineAndPlaysItWhenNothingPlays) {
    const auto paths = AddTracks(3);
    // Appended lines reach the widget when the window next handles its events.
    QCoreApplication::processEvents();
    auto* list = qobject_cast<QListView*>(Control(IDC_SEQUENCE_GRID));
    ASSERT_NE(list, nullptr);
    const QPoint line1 = list->visualRect(list->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line1);

    EXPECT_EQ(Text(IDC_PATH), paths[1]);
    EXPECT_EQ(Lines(), paths);
    EXPECT_EQ(Dlg().m_playing1, 1);
    EXPECT_EQ(Dlg().m_lengthMs1, 200);

    // With a deck playing outside a run the file only waits in the edit.
    Dlg().m_sequenceList.SetCurSel(2);
    Dlg().OnSequenceDblClk();
    EXPECT_EQ(Text(IDC_PATH), paths[2]);
    EXPECT_EQ(Dlg().m_lengthMs1, 200);
    EXPECT_EQ(Dlg().m_playing2, 0);

    // Nothing selected: nothing happens.
    Dlg().m_sequenceList.SetCurSel(-1);
    SetPath("kept");
    Dlg().OnSequenceDblClk();
    EXPECT_EQ(Text(IDC_PATH), "kept");
}

TEST_F(SequenceRunTest, DoubleClickDuringARunHandsOverToTheLineAndTakesTheTopLine) {
    const auto paths = AddTracks(4);
    Click(IDC_EXECUTE); // deck 1 plays paths[0], the path edit holds paths[1]
    ASSERT_EQ(Lines(), std::vector<std::string>({paths[2], paths[3]}));
    Dlg().m_sequenceList.SetCurSel(1);
    Dlg().OnSequenceDblClk();

    EXPECT_EQ(Dlg().m_playing2, 1);
    EXPECT_EQ(Dlg().m_lengthMs2, 400); // the double-clicked line's track
    EXPECT_EQ(Dlg().m_fadeOut1, 1);
    EXPECT_EQ(Text(IDC_PATH), paths[2]);
    EXPECT_EQ(Lines(), std::vector<std::string>({paths[3]}));
}

TEST_F(SequenceRunTest, ARunAlternatesTheDecksAndPlaysEveryLineItTakes) {
    // Lengths of 4.2 to 4.8 s tell the tracks apart and outlast two cross-fades of the
    // shortest time allowed, so that a deck has stopped before the run comes back to it.
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        paths.push_back(
            WriteWav(Numbered("r", i, ".wav"), 441L * (420 + 20 * i), Constant(0.1f, 0.1f)));
    }
    Dlg().AddFromSearch(m_dir.Path() + "/*.*", 0);
    SetText(IDC_CROSSFADE_MS, std::to_string(CCorvalineDlg::kCrossfadeMinMs));
    Click(IDC_EXECUTE);
    ASSERT_EQ(Dlg().m_playing1, 1);

    // Each start of a deck, in order: the deck, the length it plays, and the file that edit
    // 1000 held for it (a refill may take the same file twice in a row).
    struct Start {
        int deck;
        int lengthMs;
        std::string waiting;
    };
    std::vector<Start> starts = {{1, Dlg().m_lengthMs1, paths[0]}};
    int was1 = 1;
    int was2 = 0;
    for (int block = 0; block < 3000 && starts.size() < 9; ++block) {
        const std::string waiting = Text(IDC_PATH);
        Tick();
        Mix(1);
        if (Dlg().m_playing1 && !was1) {
            starts.push_back({1, Dlg().m_lengthMs1, waiting});
        }
        if (Dlg().m_playing2 && !was2) {
            starts.push_back({2, Dlg().m_lengthMs2, waiting});
        }
        EXPECT_TRUE(Dlg().m_playing1 || Dlg().m_playing2) << "silence after block " << block;
        was1 = Dlg().m_playing1;
        was2 = Dlg().m_playing2;
    }
    ASSERT_EQ(starts.size(), 9u);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i].deck, i % 2 == 0 ? 1 : 2) << "start " << i;
        const auto track = std::find(paths.begin(), paths.end(), starts[i].waiting) - paths.begin();
        ASSERT_LT(track, 4) << starts[i].waiting;
        EXPECT_EQ(starts[i].lengthMs, 4200 + 200 * static_cast<int>(track)) << "start " << i;
        // The lines as added, then refills.
        if (i < 4) {
            EXPECT_EQ(starts[i].waiting, paths[i]);
        }
    }
    ExpectRunning(true);
}

} // namespace
