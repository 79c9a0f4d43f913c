// The title, artist and album of a file, through whichever library reads its kind of tags.
#include "Tags.h"
#include "AudioFiles.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace corvaline::testsupport;

namespace {

constexpr int kRate = 44100;
constexpr long kFrames = kRate / 2;

// An ID3v1 tag as old encoders append it: fixed fields of ISO 8859-1, padded with spaces.
std::string Id3v1(const std::string& title, const std::string& artist, const std::string& album) {
    std::string tag = "TAG";
    for (const std::string* field : {&title, &artist, &album}) {
        tag += (*field + std::string(30, ' ')).substr(0, 30);
    }
    tag.resize(128, '\0');
    return tag;
}

} // namespace

TEST(TagsTest, TitleArtistAndAlbumOfEachKindOfFile) {
    TempDir dir;
    const Generator tone = Sine(440.0, kRate, 0.3);
    const std::vector<TagText> tags = {
        {SF_STR_TITLE, "Caf\u00e9 Noir"}, {SF_STR_ARTIST, "The Band"}, {SF_STR_ALBUM, "Live"}};

    ASSERT_TRUE(WriteTagged(dir.File("info.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
                            kFrames, tone, tags));
    ASSERT_TRUE(WriteTagged(dir.File("comments.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2,
                            kFrames, tone, tags));
    // The MPEG writer hands its text to the encoder's tagger, which takes it as ISO 8859-1.
    const std::vector<TagText> latin1 = {
        {SF_STR_TITLE, "Caf\xe9 Noir"}, {SF_STR_ARTIST, "The Band"}, {SF_STR_ALBUM, "Live"}};
    ASSERT_TRUE(WriteTagged(dir.File("encoder.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III,
                            kRate, 2, kFrames, tone, latin1));
    ASSERT_TRUE(WriteMp3(dir.File("id3v1.mp3"), kRate, 2, kFrames, tone));
    std::ofstream(dir.File("id3v1.mp3"), std::ios::binary | std::ios::app)
        << Id3v1("Caf\xe9 Noir", "The Band", "Live");
    ASSERT_TRUE(WriteWav16(dir.File("plain.wav"), kRate, 2, kFrames, tone));

    struct Row {
        const char* file;
        fsound::Tags expected;
    };
    const fsound::Tags full{"Caf\u00e9 Noir", "The Band", "Live"};
    const Row rows[] = {
        {"info.wav", full},  {"comments.flac", full}, {"encoder.mp3", full},
        {"id3v1.mp3", full}, {"plain.wav", {}},       {"missing.wav", {}},
    };
    for (const Row& row : rows) {
        const fsound::Tags read = fsound::ReadTags(dir.File(row.file));
        EXPECT_EQ(read.title, row.expected.title) << row.file;
        EXPECT_EQ(read.artist, row.expected.artist) << row.file;
        EXPECT_EQ(read.album, row.expected.album) << row.file;
    }
}
