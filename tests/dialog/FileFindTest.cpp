#include "FileFind.h"
#include "DirectoryWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
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
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    std::string At(const std::string& relative) const { return m_root + "/" + relative; }
    void Touch(const std::string& relative) const { std::ofstream(At(relative)).put('x'); }

    std::string m_root;
};

TEST(FileNameMatch, WildcardsTheTrailingDotStarAndCase) {
    EXPECT_TRUE(AfxMatchFileName("readme", "*.*"));
    EXPECT_TRUE(AfxMatchFileName("..", "*.*"));
    EXPECT_TRUE(AfxMatchFileName("track", "track.*"));
    EXPECT_TRUE(AfxMatchFileName("a.b.mp2", "*.mp?"));
    EXPECT_TRUE(AfxMatchFileName("abcabd", "*ab?"));
    EXPECT_TRUE(AfxMatchFileName("What?.mp3", "What?.mp3"));
    EXPECT_TRUE(AfxMatchFileName("A.MP3", "*.mp*"));
    EXPECT_TRUE(AfxMatchFileName("Song.Mp3", "sONG.mP?"));
    EXPECT_TRUE(AfxMatchFileName("[A-Z]", "[a-z]"));
    EXPECT_FALSE(AfxMatchFileName("a.mp", "*.mp?"));
    // Only ASCII letters fold: the bytes of "É" and "é" differ.
    EXPECT_FALSE(AfxMatchFileName("\xc3\x89.mp3", "\xc3\xa9.mp3"));
    EXPECT_FALSE(AfxMatchFileName("@.mp3", "`.mp3"));
}

TEST_F(FileFindTest, ListsADirectoryInNameOrderFollowingLinks) {
    Touch("b.wav");
    Touch("A.mp3");
    Touch("\xff\xfe.mp3"); // not UTF-8
    fs::create_directory(At("sub.mp3"));
    fs::create_directory(At("sub.mp3/in"));
    fs::create_directory_symlink(m_root, At("back"));
    fs::create_symlink(At("gone"), At("dangling.mp3"));
    fs::create_symlink(At("b.wav"), At("c.wav"));

    // Through a detour that the root is cleaned of.
    const std::vector<Found> expected = {
        {".", m_root + "/.", true, true},
        {"..", m_root + "/..", true, true},
        {"A.mp3", At("A.mp3"), false, false},
        {"b.wav", At("b.wav"), false, false},
        {"back", At("back"), true, false},
        {"c.wav", At("c.wav"), false, false},
        {"dangling.mp3", At("dangling.mp3"), false, false},
        {"sub.mp3", At("sub.mp3"), true, false},
    };
    EXPECT_EQ(FindAll(At("sub.mp3/../*.*")), expected);

    // A relative pattern is taken from the current directory; the case of letters is not
    // looked at.
    const std::string relative = fs::relative(At("*.WAV"), fs::current_path()).string();
    EXPECT_EQ(FindAll(relative), std::vector<Found>({expected[3], expected[5]}));
}

// Runs `check` in a child process, as the unprivileged "nobody" when the test runs as root,
// whom permissions do not bind. The child touches nothing of the test framework or of Qt: its
// exit status is the verdict, 0 when every check held, otherwise the number of the first that
// failed.
int ExitStatusUnprivileged(const std::function<int()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        constexpr gid_t kNobody = 65534;
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
                               setuid(kNobody) != 0 || setuid(0) == 0)) {
            _exit(100);
        }
        _exit(check());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A directory that cannot be read finds nothing and one that cannot be searched yields only
// what its listing tells without a look at the entries: its files, by name, and "." and "..",
// directories by their names. A directory that can only be searched gives up a name that is
// asked for exactly.
TEST_F(FileFindTest, UnreadableDirectoriesFindWhatTheirPermissionsAllow) {
    for (const char* directory : {"locked", "listed", "entered"}) {
        fs::create_directory(At(directory));
        Touch(std::string(directory) + "/a.mp3");
        fs::create_directory(At(std::string(directory) + "/sub"));
    }
    fs::permissions(m_root, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(At("locked"), fs::perms::none);
    fs::permissions(At("listed"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(At("entered"),
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);

    const int status = ExitStatusUnprivileged([this] {
        if (!FindAll(At("locked/*.*")).empty()) {
            return 1;
        }
        if (FindAll(At("listed/*.*")) !=
            std::vector<Found>{{".", At("listed/."), true, true},
                               {"..", At("listed/.."), true, true},
                               {"a.mp3", At("listed/a.mp3"), false, false}}) {
            return 2;
        }
        if (!FindAll(At("entered/*.*")).empty()) {
            return 3;
        }
        if (FindAll(At("entered/a.mp3")) !=
            std::vector<Found>{{"a.mp3", At("entered/a.mp3"), false, false}}) {
            return 4;
        }
        // Each of them is still a directory in its parent's listing.
        const std::vector<Found> top = FindAll(At("*e*"));
        if (top.size() != 3 || !top[0].directory || !top[1].directory || !top[2].directory) {
            return 5;
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
    for (const char* directory : {"locked", "listed", "entered"}) {
        fs::permissions(At(directory), fs::perms::owner_all);
    }
}

// Every path a walk meets, entering every directory it may.
std::vector<std::string> Walk(const std::string& pattern) {
    std::vector<std::string> met;
    CDirectoryWalk walk;
    walk.Start(pattern);
    while (walk.Next()) {
        if (walk.Current().IsDots() == 0) {
            met.push_back(walk.Current().GetFilePath());
        }
        walk.Enter("*.*");
    }
    return met;
}

// Links back to the top, to "/" and to the directory above the top; two links at each level
// to the next of a chain kept beside the tree; links into the kernel's filesystems, /dev among
// them, and into the tmpfs of /dev/shm, which holds files like any other.
TEST_F(FileFindTest, AWalkEntersEachDirectoryOnceAndNoneOfTheKernels) {
    fs::create_directory(At("a"));
    Touch("a/x.mp3");
    fs::create_directory_symlink(m_root, At("a/up"));
    fs::create_directory_symlink("/", At("a/top"));
    fs::create_directory_symlink(At(".."), At("a/above"));
    fs::create_directories(At("s/3"));
    Touch("s/3/f.wav");
    fs::create_directory(At("d"));
    for (const auto& [from, to] : {std::pair{"d", "s/1"}, {"s/1", "s/2"}, {"s/2", "s/3"}}) {
        fs::create_directories(At(to));
        fs::create_directory_symlink(At(to), At(std::string(from) + "/1"));
        fs::create_directory_symlink(At(to), At(std::string(from) + "/2"));
    }
    for (const char* kernel : {"sys", "proc", "dev"}) {
        fs::create_directory_symlink(std::string("/") + kernel, At(kernel));
    }
    const std::string shared = "/dev/shm/" + fs::path(m_root).filename().string();
    fs::create_directory(shared);
    std::ofstream(shared + "/y.mp3").put('x');
    fs::create_directory_symlink(shared, At("shm"));

    const std::vector<std::string> met = Walk(At("*.*"));
    fs::remove_all(shared);
    std::vector<std::string> expected;
    for (const char* path :
         {"a",       "a/above",       "a/top",   "a/up",  "a/x.mp3",   "d",   "d/1",  "d/1/1",
          "d/1/1/1", "d/1/1/1/f.wav", "d/1/1/2", "d/1/2", "d/2",       "dev", "proc", "s",
          "s/1",     "s/2",           "s/3",     "shm",   "shm/y.mp3", "sys"}) {
        expected.push_back(At(path));
    }
    EXPECT_EQ(met, expected);
}

// Each level holds a file, the next level and a directory after it, so that the walk has a
// reason to keep every level open: it keeps only some, within a small allowance of
// descriptors, and finds the rest again by their paths.
TEST_F(FileFindTest, AWalkGoesHundredsOfLevelsDeepWithinFewDescriptors) {
    constexpr int kLevels = 200;
    std::string level = m_root;
    for (int i = 0; i < kLevels; ++i) {
        fs::create_directories(level + "/z");
        std::ofstream(level + "/t.wav").put('x');
        std::ofstream(level + "/z/u.wav").put('x');
        level += "/n";
    }
    fs::permissions(m_root, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const int status = ExitStatusUnprivileged([this] {
        const rlimit few{100, 100};
        if (setrlimit(RLIMIT_NOFILE, &few) != 0) {
            return 1;
        }
        const std::vector<std::string> met = Walk(At("*.*"));
        const auto count = [&met](const char* name) {
            return std::count_if(met.begin(), met.end(),
                                 [name](const std::string& path) { return path.ends_with(name); });
        };
        if (count("/t.wav") != kLevels || count("/z/u.wav") != kLevels) {
            return 2;
        }
        // Depth first: the next level's files before the rest of this one's.
        return met[0] == At("n") && met[1] == At("n/n") && met.back() == At("z/u.wav") ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(FileFindTest, APlainNameFindsThatEntryAlone) {
    Touch("one.mp3");
    Touch("one.mp3.bak");
    EXPECT_EQ(FindAll(At("one.mp3")),
              std::vector<Found>({{"one.mp3", At("one.mp3"), false, false}}));
    // Without that exact name, the name is matched as any pattern is.
    EXPECT_EQ(FindAll(At("ONE.Mp3")),
              std::vector<Found>({{"one.mp3", At("one.mp3"), false, false}}));
    EXPECT_EQ(FindAll(At("sub")), std::vector<Found>());
    EXPECT_EQ(FindAll(At("missing/*.*")), std::vector<Found>());
    EXPECT_EQ(FindAll(m_root + "/"), std::vector<Found>());

    // Taken exactly, a name with wildcards finds itself alone; a directory's name is never
    // a pattern.
    Touch("o*.mp3");
    fs::create_directory(At("d?"));
    fs::create_directory(At("dd"));
    Touch("d?/x.mp3");
    Touch("dd/y.mp3");
    CFileFind exact;
    ASSERT_TRUE(exact.FindExactFile(At("o*.mp3")));
    EXPECT_FALSE(exact.FindNextFile());
    EXPECT_EQ(exact.GetFilePath(), At("o*.mp3"));
    EXPECT_FALSE(exact.FindExactFile(At("O*.MP3")));
    EXPECT_EQ(FindAll(At("o*.mp3")).size(), 2u); // and "one.mp3"
    EXPECT_EQ(FindAll(At("d?/*.mp3")),
              std::vector<Found>({{"x.mp3", At("d?/x.mp3"), false, false}}));

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
