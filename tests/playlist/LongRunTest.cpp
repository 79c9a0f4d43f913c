// A long sequence run through the real window: many short tracks of mixed rates, channels
// and formats with a few bad files among them, played by the automatic cross-fade in
// MANUAL output. Every good track must be started once per round, on alternating decks
// but where a track ends during the other deck's fade-out, with never a tick of silence
// while one remains and no fade cut short, and nothing may pile up: streams, units or
// memory.
//
// CORVALINE_LONG_RUN_TRACKS sets the number of files (a few dozen by default; hundreds
// for a soak).

#include "PlaylistTest.h"
#include "ProcessMemory.h"

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

using namespace corvaline::testsupport;

namespace {

constexpr int kDefaultTracks = 60;
constexpr int kBadEvery = 25;
// An MP3's length is known to within its encoder's padding.
constexpr int kMp3LengthToleranceMs = 60;
constexpr double kResidentGrowthLimitMb = 16.0;
// The sanitizers hold freed memory back for a while, which shows as growth.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentMemoryTells = false;
#else
constexpr bool kResidentMemoryTells = true;
#endif

int TrackCount() {
    const char* text = std::getenv("CORVALINE_LONG_RUN_TRACKS");
    const int count = text != nullptr ? std::atoi(text) : 0;
    return count > 0 ? count : kDefaultTracks;
}

struct Track {
    std::string path;
    bool good = true;
    bool mp3 = false;
    int lengthMs = 0;
};

// File i of the run: mostly good tracks of 0.5 to 3 s in a rotation of formats, and every
// 25th a file that cannot play, the first among them.
Track MakeTrack(const TempDir& dir, int i, std::mt19937& random) {
    char name[32];
    Track track;
    const int lengthMs = 500 + static_cast<int>(random() % 2501);
    const int kind = i % 10;
    const char* extension = kind == 7 || kind == 8 ? ".mp3" : ".wav";
    if (i % kBadEvery == 0) {
        static const char* const kBad[] = {".mp3", ".wav", ".mp3", ".wav", ".wav"};
        extension = kBad[(i / kBadEvery) % 5];
    }
    std::snprintf(name, sizeof name, "t%04d%s", i, extension);
    track.path = dir.File(name);

    if (i % kBadEvery == 0) {
        track.good = false;
        std::vector<unsigned char> bytes;
        switch ((i / kBadEvery) % 5) {
        case 0: // empty
            break;
        case 1: // a header and nothing else
            bytes = {'R', 'I', 'F', 'F'};
            break;
        case 2: // noise
            bytes.resize(20000);
            for (unsigned char& b : bytes) {
                b = static_cast<unsigned char>(random());
            }
            bytes[0] = 0x42;
            break;
        case 3: // text under an audio name
            bytes.assign(std::begin("not a sound at all"), std::end("not a sound at all"));
            break;
        default: // removed after it was added: see RemoveVanishing
            break;
        }
        EXPECT_TRUE(WriteBytes(track.path, bytes));
        return track;
    }

    struct Format {
        int sfFormat;
        int rate;
        int channels;
    };
    static const Format kFormats[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 32000, 1},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 2},
        {0, 44100, 2},
        {0, 48000, 1},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, 96000, 2},
    };
    const Format& format = kFormats[kind];
    const long frames = static_cast<long>(lengthMs) * format.rate / 1000;
    const Generator tone = Sine(200.0 + 10.0 * (i % 100), format.rate, 0.3);
    track.mp3 = format.sfFormat == 0;
    track.lengthMs = lengthMs;
    EXPECT_TRUE(track.mp3 ? WriteMp3(track.path, format.rate, format.channels, frames, tone)
                          : WriteAudio(track.path, format.sfFormat, format.rate, format.channels,
                                       frames, tone))
        << track.path;
    return track;
}

class LongRunTest : public PlaylistTest {
  protected:
    struct DeckSeen {
        bool playing = false;
        int timeMs = 0;
        int lengthMs = 0;
        bool fadingOut = false;
        int volume = 0;
    };
    struct Start {
        int deck;
        int lengthMs;
        bool otherFadingOut;
    };

    DeckSeen See(int deck) {
        TestableWindow& w = Dlg();
        if (deck == 1) {
            return {w.m_playing1 != 0, FSOUND_Stream_GetTime(w.m_stream1), w.m_lengthMs1,
                    w.m_playing1 != 0 && w.m_fadeOut1 != 0, w.m_volume1};
        }
        return {w.m_playing2 != 0, FSOUND_Stream_GetTime(w.m_stream2), w.m_lengthMs2,
                w.m_playing2 != 0 && w.m_fadeOut2 != 0, w.m_volume2};
    }
    // A deck has started a track since it was last seen when it plays now and did not, or
    // plays something of another length, or from an earlier position.
    static bool Started(const DeckSeen& before, const DeckSeen& now) {
        return now.playing &&
               (!before.playing || now.lengthMs != before.lengthMs || now.timeMs < before.timeMs);
    }
    static FSOUND_STATS Stats() {
        FSOUND_STATS stats{};
        FSOUND_GetStats(&stats);
        return stats;
    }
};

TEST_F(LongRunTest, EveryGoodTrackPlaysOnAlternatingDecksWithoutStallOrBuildUp) {
    const int count = TrackCount();
    std::mt19937 random(20261207);
    std::vector<Track> tracks;
    for (int i = 0; i < count; ++i) {
        tracks.push_back(MakeTrack(m_dir, i, random));
    }
    Dlg().AddFromSearch(m_dir.Path() + "/*.*", 0);
    ASSERT_EQ(Entries().size(), tracks.size());
    // Gone between the add and the run, as a file on a removed disk.
    for (int i = 0; i < count; i += kBadEvery) {
        if ((i / kBadEvery) % 5 == 4) {
            std::filesystem::remove(tracks[i].path);
        }
    }

    std::vector<const Track*> expected;
    for (const Track& track : tracks) {
        if (track.good) {
            expected.push_back(&track);
        }
    }
    long totalMs = 0;
    for (const Track* track : expected) {
        totalMs += track->lengthMs;
    }

    SetText(IDC_CROSSFADE_MS, std::to_string(CCorvalineDlg::kCrossfadeMinMs));
    Click(IDC_EXECUTE);

    std::vector<Start> starts;
    DeckSeen seen[2] = {};
    double earlyResidentMb = 0.0;
    int worstStreams = 0;
    int worstUnits = 0;
    // A tick per block of 23 ms; the fades cost each track no more than its length, and
    // the bound only keeps a broken run from spinning.
    const long tickLimit = 2 * totalMs / 23 + 2000;
    long ticks = 0;
    const std::size_t wanted = expected.size() + 4;
    for (; ticks < tickLimit && starts.size() < wanted; ++ticks) {
        if (ticks > 0) {
            Tick();
        }
        const DeckSeen last[2] = {seen[0], seen[1]};
        for (int deck = 1; deck <= 2; ++deck) {
            const DeckSeen now = See(deck);
            const DeckSeen& before = last[deck - 1];
            const bool started = Started(before, now);
            if (started) {
                starts.push_back({deck, now.lengthMs, last[2 - deck].fadingOut});
            }
            // A fade-out ends at silence or with its track, never cut at a level still heard.
            if (before.fadingOut && (!now.playing || started)) {
                EXPECT_TRUE(before.volume <= 2 || before.lengthMs - before.timeMs < 50)
                    << "deck " << deck << " cut at volume " << before.volume << ", tick " << ticks;
            }
            seen[deck - 1] = now;
        }
        if (starts.size() <= expected.size()) {
            ASSERT_TRUE(seen[0].playing || seen[1].playing)
                << "silent at tick " << ticks << " after " << starts.size() << " starts";
        }
        const FSOUND_STATS stats = Stats();
        worstStreams = std::max(worstStreams, stats.streamsOpen);
        worstUnits = std::max(worstUnits, stats.unitsOpen);
        if (earlyResidentMb == 0.0 && starts.size() >= expected.size() / 10 + 2) {
            earlyResidentMb = ResidentMb();
        }
        Mix(1);
    }
    std::printf("%zu tracks started over %ld ticks (%.0f s of audio); resident %.1f MB early, "
                "%.1f MB at the end\n",
                starts.size(), ticks, ticks * 1024.0 / 44100.0, earlyResidentMb, ResidentMb());

    ASSERT_GE(starts.size(), expected.size()) << "the run stalled";
    // The decks take turns, but a track that ends while the other deck still fades out the
    // one before it hands its own deck the next line.
    EXPECT_EQ(starts[0].deck, 1);
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (k > 0 && starts[k].deck == starts[k - 1].deck) {
            EXPECT_TRUE(starts[k].otherFadingOut) << "start " << k << " on the same deck";
        }
        if (k >= expected.size()) {
            continue; // the next round, in shuffled order
        }
        const Track& track = *expected[k];
        EXPECT_NEAR(starts[k].lengthMs, track.lengthMs, track.mp3 ? kMp3LengthToleranceMs : 1)
            << "start " << k << " should be " << track.path;
    }
    EXPECT_LE(worstStreams, 2) << "one stream per deck at most";
    EXPECT_LE(worstUnits, 1) << "the compressor's unit, once";
    if (kResidentMemoryTells) {
        EXPECT_LT(ResidentMb() - earlyResidentMb, kResidentGrowthLimitMb);
    }

    Click(IDC_CANCEL_LIST);
    Click(IDC_PARAR_1);
    Click(IDC_PARAR_2);
    EXPECT_LE(Stats().streamsOpen, 2);
    EXPECT_EQ(Stats().unitsOpen, 0);
    EXPECT_EQ(Entries().size(), tracks.size()) << "the playlist keeps every entry";
}

} // namespace
