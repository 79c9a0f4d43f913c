#include "FileFind.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Found {
    std::string name;
    std::string path;
    bool directory;
    bool dots;
    bool operator==(const Found&) const = default;
};

std::vector<Found> FindAll(const std::string& pattern) {
    std::vector<Found> found;
    CFileFind finder;
    BOOL more = finder.FindFile(pattern);
    while (more) {
        more = finder.FindNextFile();
        found.push_back({finder.GetFileName(), finder.GetFilePath(), finder.IsDirectory() != 0,
                         finder.IsDots() != 0});
    }
    return found;
}

class FileFindTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "filefind-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string At(const std::string& relative) const { return root_ + "/" + relative; }
    void Touch(const std::string& relative) const { std::ofstream(At(relative)).put('x'); }

    std::string root_;
};

TEST(FileNameMatch, WildcardsAndTheTrailingDotStar) {
    EXPECT_TRUE(AfxMatchFileName("readme", "*.*"));
    EXPECT_TRUE(AfxMatchFileName("..", "*.*"));
    EXPECT_TRUE(AfxMatchFileName("track", "track.*"));
    EXPECT_TRUE(AfxMatchFileName("a.b.mp2", "*.mp?"));
    EXPECT_TRUE(AfxMatchFileName("abcabd", "*ab?"));
    EXPECT_TRUE(AfxMatchFileName("What?.mp3", "What?.mp3"));
    EXPECT_FALSE(AfxMatchFileName("A.MP3", "*.mp*"));
    EXPECT_FALSE(AfxMatchFileName("a.mp", "*.mp?"));
}

TEST_F(FileFindTest, ListsADirectoryInNameOrderWithoutFollowingDirectoryLinks) {
    Touch("b.wav");
    Touch("A.mp3");
    fs::create_directory(At("sub.mp3"));
    fs::create_directory_symlink(root_, At("back"));
    fs::create_symlink(At("gone"), At("dangling.mp3"));
    fs::create_symlink(At("b.wav"), At("c.wav"));

    // Through a detour that the root is cleaned of.
    const std::vector<Found> expected = {
        {".", root_ + "/.", true, true},         {"..", root_ + "/..", true, true},
        {"A.mp3", At("A.mp3"), false, false},    {"b.wav", At("b.wav"), false, false},
        {"c.wav", At("c.wav"), false, false},    {"dangling.mp3", At("dangling.mp3"), false, false},
        {"sub.mp3", At("sub.mp3"), true, false},
    };
    EXPECT_EQ(FindAll(At("sub.mp3/../*.*")), expected);

    // A relative pattern is taken from the current directory.
    const std::string relative = fs::relative(At("*.wav"), fs::current_path()).string();
    EXPECT_EQ(FindAll(relative), std::vector<Found>({expected[3], expected[4]}));
}

TEST_F(FileFindTest, APlainNameFindsThatEntryAlone) {
    Touch("one.mp3");
    Touch("one.mp3.bak");
    EXPECT_EQ(FindAll(At("one.mp3")),
              std::vector<Found>({{"one.mp3", At("one.mp3"), false, false}}));
    EXPECT_EQ(FindAll(At("sub")), std::vector<Found>());
    EXPECT_EQ(FindAll(At("missing/*.*")), std::vector<Found>());
    EXPECT_EQ(FindAll(root_ + "/"), std::vector<Found>());

    // The root directory's entries are not given a doubled separator.
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile("/tmp"));
    finder.FindNextFile();
    EXPECT_EQ(finder.GetFilePath(), "/tmp");
    EXPECT_EQ(finder.GetRoot(), "/");
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_EQ(finder.GetFileName(), "tmp"); // the last entry stays current
    finder.Close();
    EXPECT_EQ(finder.GetFileName(), "");
}

} // namespace
