#include "PlaylistTest.h"

#include <QApplication>
#include <QDir>

#include <filesystem>

using namespace corvaline::testsupport;
namespace fs = std::filesystem;

namespace {

const std::vector<std::pair<std::string, std::string>> kAudioFilters = {
    {"Ficheiros MPEG(*.mp*)", " *.mp*"}, {"Ficheiros WAVE (*.wav)", " *.wav"}};

class FileSelectionTest : public PlaylistTest {
  protected:
    // Files are empty: adding looks at names only.
    std::string Touch(const std::string& relative) {
        const std::string path = dir_.File(relative);
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(WriteBytes(path, {}));
        return path;
    }
    std::vector<std::string> Under(const std::vector<std::string>& relatives) {
        std::vector<std::string> paths;
        for (const auto& relative : relatives)
            paths.push_back(dir_.File(relative));
        return paths;
    }

    // Accepted and rejected extensions in every case, directories named like files, a
    // readme in a dotted directory, an empty directory, a name that is not UTF-8, a link that
    // leads back up and one across to a sibling.
    void MakeTree() {
        for (const char* name :
             {"a.mp3", "B.WAV", "c.Mp2", "d.ogg", "e.mp3.txt", "noext", "f.raw", "g.PCM", "h.mpg",
              "i.mpa", "j.mp1", "zz.wav", "album.mp3/inner.wav", "my.music/readme",
              "my.music/song.mp3", "sub/k.mp3", "sub/deeper/x.wav"})
            Touch(name);
        fs::create_directory(dir_.File("empty"));
        Touch("\xff.mp3");
        fs::create_directory_symlink(dir_.Path(), dir_.File("sub/loop"));
        fs::create_directory_symlink(dir_.File("album.mp3"), dir_.File("sub/side"));
        fs::create_symlink(dir_.File("a.mp3"), dir_.File("link.mp3"));
    }
};

TEST_F(FileSelectionTest, AddDirectoryTakesThePlayableFilesOfTheChosenFilesDirectory) {
    MakeTree();
    SetPath(dir_.File("sub/k.mp3"));
    Choose(dir_.File("a.mp3"));
    Click(id::kAddDirectory);

    // The dialog opened in the directory of edit 1000's file; the edit is left alone.
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].directory, dir_.File("sub"));
    EXPECT_EQ(requests_[0].fileName, "");
    EXPECT_EQ(requests_[0].filters, kAudioFilters);
    EXPECT_EQ(Text(id::kPath), dir_.File("sub/k.mp3"));

    const auto expected = Under({"B.WAV", "a.mp3", "c.Mp2", "f.raw", "g.PCM", "h.mpg", "i.mpa",
                                 "j.mp1", "link.mp3", "zz.wav"});
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(PickedFlags(), std::vector<int>(expected.size(), 0));
}

TEST_F(FileSelectionTest, AddDirectoryWithSubDirsGoesDepthFirstThroughLinksWithoutLooping) {
    MakeTree();
    Click(id::kSubDirs);
    Choose(dir_.File("zz.wav"));
    Click(id::kAddDirectory);

    const auto expected = Under({"B.WAV", "a.mp3", "album.mp3/inner.wav", "c.Mp2", "f.raw", "g.PCM",
                                 "h.mpg", "i.mpa", "j.mp1", "link.mp3", "my.music/song.mp3",
                                 "sub/deeper/x.wav", "sub/k.mp3", "sub/side/inner.wav", "zz.wav"});
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr); // the busy cursor is gone again

    // A second add appends the same files again under the following numbers.
    Choose(dir_.File("sub/deeper/x.wav"));
    Click(id::kAddDirectory);
    ASSERT_EQ(Entries().size(), expected.size() + 1);
    EXPECT_EQ(Lines().back(), dir_.File("sub/deeper/x.wav"));
}

TEST_F(FileSelectionTest, AddFileAddsExactlyTheChosenPlayableFile) {
    const std::string song = Touch("LOUD.MP3");
    Touch("LOUD.MP3x");
    const std::string notes = Touch("notes.txt");
    Choose(song);
    Click(id::kAddFile);
    Choose(song);
    Click(id::kAddFile);
    Choose(notes);
    Click(id::kAddFile);
    Choose(dir_.File("gone.mp3"));
    Click(id::kAddFile);
    Click(id::kAddFile); // cancelled

    EXPECT_EQ(Lines(), std::vector<std::string>({song, song}));
    EXPECT_EQ(Entries(), std::vector<std::string>({song, song}));
    ASSERT_EQ(requests_.size(), 5u);
    // The start-up path has no '/' here: the dialog opens in the home directory, on no name.
    EXPECT_EQ(requests_[0].directory, QDir::homePath().toStdString());
    EXPECT_EQ(requests_[0].fileName, "");
    EXPECT_EQ(Text(id::kPath), "H:\\MPEG AUDIO\\*.MP*");
}

TEST_F(FileSelectionTest, ClearEmptiesThePlaylistAndNumberingStartsAgain) {
    const std::string first = Touch("one.wav");
    const std::string second = Touch("two.wav");
    Click(id::kClear);
    EXPECT_TRUE(Lines().empty());

    Choose(first);
    Click(id::kAddFile);
    Choose(first);
    Click(id::kAddFile);
    SetPath(first);
    Click(id::kClear);
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(Dlg().m_sequence.empty());
    EXPECT_EQ(Dlg().m_extensions.size(), 8u);
    EXPECT_EQ(Text(id::kPath), first);

    Choose(second);
    Click(id::kAddFile);
    EXPECT_EQ(Entries(), std::vector<std::string>({second}));
}

TEST_F(FileSelectionTest, BrowsePutsTheChosenFileInThePathEditAndACancelChangesNothing) {
    // Cancelled: the "*.mp*" pattern the dialog was opened on does not stay behind.
    Click(id::kBrowse);
    EXPECT_EQ(Text(id::kPath), "H:\\MPEG AUDIO\\*.MP*");

    SetPath("");
    Click(id::kBrowse);
    EXPECT_EQ(Text(id::kPath), "");
    EXPECT_EQ(requests_.back().fileName, "");

    const std::string song = Touch("music/song.mp3");
    SetPath(dir_.File("music/other.wav"));
    Choose(song);
    Click(id::kBrowse);
    EXPECT_EQ(requests_.back().directory, dir_.File("music"));
    EXPECT_EQ(requests_.back().fileName, "");
    EXPECT_EQ(Text(id::kPath), song);
    EXPECT_TRUE(Lines().empty());

    // A directory that does not exist: the dialog opens in the home directory.
    SetPath(dir_.File("gone/x.mp3"));
    Click(id::kBrowse);
    EXPECT_EQ(requests_.back().directory, QDir::homePath().toStdString());
    EXPECT_EQ(Text(id::kPath), dir_.File("gone/x.mp3"));
}

TEST(PathHelpers, ReplaceAndTakeTheLastComponent) {
    const std::vector<std::pair<std::string, std::string>> replaced = {
        {"/music/x.mp3", "/music/*.mp*"},
        {"/x.mp3", "/*.mp*"}, // the root is a directory like any other
        {"music/", "music/*.mp*"},
        {"x.mp3", "x.mp3"},
        {"", ""},
        {"H:\\MPEG AUDIO\\*.MP*", "H:\\MPEG AUDIO\\*.MP*"},
    };
    for (const auto& [path, expected] : replaced) {
        std::string copy = path;
        CCorvalineDlg::ReplaceLastComponent(copy, "/*.mp*");
        EXPECT_EQ(copy, expected) << path;
    }
    const std::vector<std::pair<std::string, std::string>> last = {
        {"/music/*.*", "*.*"}, {"*.*", "*.*"}, {"/music/", ""}, {"", ""}, {"/", ""}};
    for (const auto& [path, expected] : last) {
        std::string copy = path;
        CCorvalineDlg::LastComponent(copy);
        EXPECT_EQ(copy, expected) << path;
    }
}

} // namespace
