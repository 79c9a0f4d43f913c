#include "PlaylistTest.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QUrl>

#include <sndfile.h>

#include <filesystem>

using namespace corvaline::testsupport;
namespace fs = std::filesystem;

namespace {

const std::vector<std::pair<std::string, std::string>> kAudioFilters = {
    {"Ficheiros MPEG(*.mp*)", " *.mp*"},
    {"Ficheiros WAVE (*.wav)", " *.wav"},
    {"Todos os ficheiros de som", " *.mp1; *.mp2; *.mp3; *.mpa; *.wav; *.raw; *.pcm; *.mpg; "
                                  "*.flac; *.ogg; *.oga; *.opus; *.aif; *.aiff; *.aifc; *.au; "
                                  "*.w64; *.caf"}};

class FileSelectionTest : public PlaylistTest {
  protected:
    // Files are empty: adding looks at names only.
    std::string Touch(const std::string& relative) {
        const std::string path = m_dir.File(relative);
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(WriteBytes(path, {}));
        return path;
    }
    std::vector<std::string> Under(const std::vector<std::string>& relatives) {
        std::vector<std::string> paths;
        for (const auto& relative : relatives) {
            paths.push_back(m_dir.File(relative));
        }
        return paths;
    }

    // Drags `urls` over the sequence list and drops them there, as a file manager does; false
    // when the list refuses them.
    bool Drop(const QList<QUrl>& urls,
              Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
        QWidget* viewport =
            qobject_cast<QAbstractScrollArea*>(Control(IDC_SEQUENCE_GRID))->viewport();
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = viewport->rect().center();
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        // The files are taken once the drop has ended.
        QApplication::processEvents();
        return drop.isAccepted() && drop.dropAction() != Qt::MoveAction;
    }
    bool Drop(const std::vector<std::string>& relatives) {
        QList<QUrl> urls;
        for (const std::string& relative : relatives) {
            urls << QUrl::fromLocalFile(QString::fromStdString(m_dir.File(relative)));
        }
        return Drop(urls);
    }

    // Accepted and rejected extensions in every case, directories named like files, a
    // readme in a dotted directory, an empty directory, a name that is not UTF-8, a link that
    // leads back up and one across to a directory met before.
    void MakeTree() {
        for (const char* name :
             {"a.mp3", "B.WAV", "c.Mp2", "d.ogg", "e.mp3.txt", "noext", "f.raw", "g.PCM", "h.mpg",
              "i.mpa", "j.mp1", "zz.wav", "album.mp3/inner.wav", "my.music/readme",
              "my.music/song.mp3", "sub/k.mp3", "sub/deeper/x.wav"}) {
            Touch(name);
        }
        fs::create_directory(m_dir.File("empty"));
        Touch("\xff.mp3");
        fs::create_directory_symlink(m_dir.Path(), m_dir.File("sub/loop"));
        fs::create_directory_symlink(m_dir.File("album.mp3"), m_dir.File("sub/side"));
        fs::create_symlink(m_dir.File("a.mp3"), m_dir.File("link.mp3"));
    }
};

TEST_F(FileSelectionTest, AddDirectoryTakesThePlayableFilesOfTheChosenFilesDirectory) {
    MakeTree();
    SetPath(m_dir.File("sub/k.mp3"));
    Choose(m_dir.File("a.mp3"));
    Click(IDC_ADICIONAR_DIRECTORIO);

    // The dialog opened in the directory of the path edit's file; the edit is left alone.
    ASSERT_EQ(m_requests.size(), 1u);
    EXPECT_EQ(m_requests[0].directory, m_dir.File("sub"));
    EXPECT_EQ(m_requests[0].fileName, "");
    EXPECT_EQ(m_requests[0].filters, kAudioFilters);
    EXPECT_EQ(Text(IDC_PATH), m_dir.File("sub/k.mp3"));

    const auto expected = Under({"B.WAV", "a.mp3", "c.Mp2", "d.ogg", "f.raw", "g.PCM", "h.mpg",
                                 "i.mpa", "j.mp1", "link.mp3", "zz.wav"});
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(PickedFlags(), std::vector<int>(expected.size(), 0));
}

TEST_F(FileSelectionTest, AddDirectoryWithSubDirsGoesDepthFirstEnteringEachDirectoryOnce) {
    MakeTree();
    Click(IDC_SUBDIRS);
    Choose(m_dir.File("zz.wav"));
    Click(IDC_ADICIONAR_DIRECTORIO);

    const auto expected = Under({"B.WAV", "a.mp3", "album.mp3/inner.wav", "c.Mp2", "d.ogg", "f.raw",
                                 "g.PCM", "h.mpg", "i.mpa", "j.mp1", "link.mp3",
                                 "my.music/song.mp3", "sub/deeper/x.wav", "sub/k.mp3", "zz.wav"});
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr); // the busy cursor is gone again

    // A second add appends the same files again under the following numbers.
    Choose(m_dir.File("sub/deeper/x.wav"));
    Click(IDC_ADICIONAR_DIRECTORIO);
    ASSERT_EQ(Entries().size(), expected.size() + 1);
    EXPECT_EQ(Lines().back(), m_dir.File("sub/deeper/x.wav"));
}

TEST_F(FileSelectionTest, DroppedFilesAndFoldersAreAddedAsTheButtonsAddThem) {
    MakeTree();
    for (const char* file : {"sub/k.mp3", "e.mp3.txt", "gone.wav", "a.mp3"}) {
        Choose(m_dir.File(file));
        Click(IDC_ADICIONAR_FICHEIRO);
    }
    Choose(m_dir.File("sub/deeper/x.wav"));
    Click(IDC_ADICIONAR_DIRECTORIO);
    Click(IDC_SUBDIRS);
    Choose(m_dir.File("sub/k.mp3"));
    Click(IDC_ADICIONAR_DIRECTORIO);
    const std::vector<std::string> byButtons = Lines();
    ASSERT_EQ(byButtons.size(), 6u);

    Click(IDC_CLEAR);
    Click(IDC_SUBDIRS);
    // A folder named with a closing '/' as some file managers give it.
    EXPECT_TRUE(Drop({"sub/k.mp3", "e.mp3.txt", "gone.wav", "a.mp3", "sub/deeper/"}));
    Click(IDC_SUBDIRS);
    EXPECT_TRUE(Drop({"sub"}));
    EXPECT_EQ(Lines(), byButtons);
    EXPECT_EQ(Entries(), byButtons);

    // Nothing that is no local file is taken, nor a drag that offers only to move its files,
    // which the file manager would then delete.
    EXPECT_FALSE(Drop({QUrl(QStringLiteral("https://example.invalid/a.mp3"))}));
    EXPECT_FALSE(
        Drop({QUrl::fromLocalFile(QString::fromStdString(m_dir.File("a.mp3")))}, Qt::MoveAction));
    EXPECT_EQ(Lines(), byButtons);
}

// Each kind of sound file the sound library reads, listed by "Adicionar directorio" and
// played from the list. sox writes them, apart from Opus, which it only reads.
TEST_F(FileSelectionTest, EveryKindOfSoundFileTheEngineReadsIsListedAndPlays) {
    const std::vector<std::pair<const char*, const char*>> bySox = {
        {"a.flac", "flac"}, {"b.ogg", "ogg"},   {"c.OGA", "ogg"},
        {"d.aif", "aiff"},  {"e.aiff", "aiff"}, {"f.aifc", "aifc"},
        {"g.au", "au"},     {"h.w64", "w64"},   {"i.caf", "caf"}};
    for (const auto& [name, type] : bySox) {
        ASSERT_EQ(
            QProcess::execute(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-t", type,
                                                      QString::fromStdString(m_dir.File(name)),
                                                      "synth", "0.5", "sine", "440", "vol", "0.5"}),
            0)
            << name;
    }
    ASSERT_TRUE(WriteAudio(m_dir.File("j.opus"), SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 2, 24000,
                           Sine(440.0, 48000, 0.5)));
    Choose(m_dir.File("a.flac"));
    Click(IDC_ADICIONAR_DIRECTORIO);
    const auto expected = Under({"a.flac", "b.ogg", "c.OGA", "d.aif", "e.aiff", "f.aifc", "g.au",
                                 "h.w64", "i.caf", "j.opus"});
    ASSERT_EQ(Lines(), expected);

    for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
        SCOPED_TRACE(expected[i]);
        Dlg().m_sequenceList.SetCurSel(i);
        Dlg().OnSequenceDblClk();
        EXPECT_EQ(Dlg().m_playing1, 1);
        EXPECT_NEAR(Dlg().m_lengthMs1, 500, 25);
        MixSettled(4);
        EXPECT_GT(Out().Peak(0, Out().Frames()), 0.4);
        Click(IDC_PARAR_1);
    }
}

TEST_F(FileSelectionTest, AddFileAddsExactlyTheChosenPlayableFile) {
    const std::string song = Touch("LOUD.MP3");
    Touch("LOUD.MP3x");
    const std::string notes = Touch("notes.txt");
    Choose(song);
    Click(IDC_ADICIONAR_FICHEIRO);
    Choose(song);
    Click(IDC_ADICIONAR_FICHEIRO);
    Choose(notes);
    Click(IDC_ADICIONAR_FICHEIRO);
    Choose(m_dir.File("gone.mp3"));
    Click(IDC_ADICIONAR_FICHEIRO);
    Click(IDC_ADICIONAR_FICHEIRO); // cancelled

    EXPECT_EQ(Lines(), std::vector<std::string>({song, song}));
    EXPECT_EQ(Entries(), std::vector<std::string>({song, song}));
    ASSERT_EQ(m_requests.size(), 5u);
    // The start-up path has no '/' here: the dialog opens in the home directory, on no name.
    EXPECT_EQ(m_requests[0].directory, QDir::homePath().toStdString());
    EXPECT_EQ(m_requests[0].fileName, "");
    EXPECT_EQ(Text(IDC_PATH), "H:\\MPEG AUDIO\\*.MP*");
}

TEST_F(FileSelectionTest, ClearEmptiesThePlaylistAndNumberingStartsAgain) {
    const std::string first = Touch("one.wav");
    const std::string second = Touch("two.wav");
    Click(IDC_CLEAR);
    EXPECT_TRUE(Lines().empty());

    Choose(first);
    Click(IDC_ADICIONAR_FICHEIRO);
    Choose(first);
    Click(IDC_ADICIONAR_FICHEIRO);
    SetPath(first);
    Click(IDC_CLEAR);
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(Dlg().m_sequence.empty());
    EXPECT_EQ(Dlg().m_extensions.size(), 18u);
    EXPECT_EQ(Text(IDC_PATH), first);

    Choose(second);
    Click(IDC_ADICIONAR_FICHEIRO);
    EXPECT_EQ(Entries(), std::vector<std::string>({second}));
}

TEST_F(FileSelectionTest, BrowsePutsTheChosenFileInThePathEditAndACancelChangesNothing) {
    // Cancelled: the "*.mp*" pattern the dialog was opened on does not stay behind.
    Click(IDC_PROCURAR);
    EXPECT_EQ(Text(IDC_PATH), "H:\\MPEG AUDIO\\*.MP*");

    SetPath("");
    Click(IDC_PROCURAR);
    EXPECT_EQ(Text(IDC_PATH), "");
    EXPECT_EQ(m_requests.back().fileName, "");

    const std::string song = Touch("music/song.mp3");
    SetPath(m_dir.File("music/other.wav"));
    Choose(song);
    Click(IDC_PROCURAR);
    EXPECT_EQ(m_requests.back().directory, m_dir.File("music"));
    EXPECT_EQ(m_requests.back().fileName, "");
    EXPECT_EQ(Text(IDC_PATH), song);
    EXPECT_TRUE(Lines().empty());

    // A directory that does not exist: the dialog opens in the home directory.
    SetPath(m_dir.File("gone/x.mp3"));
    Click(IDC_PROCURAR);
    EXPECT_EQ(m_requests.back().directory, QDir::homePath().toStdString());
    EXPECT_EQ(Text(IDC_PATH), m_dir.File("gone/x.mp3"));
}

TEST_F(FileSelectionTest, AddFileTakesTheChosenNameAsItIsWildcardsIncluded) {
    for (const char* name : {"a*.wav", "a?.wav", "ab.wav", "A1.wav", "[a].wav", "a.wav"}) {
        Touch(name);
    }
    for (const char* name : {"a*.wav", "a?.wav", "[a].wav"}) {
        Choose(m_dir.File(name));
        Click(IDC_ADICIONAR_FICHEIRO);
    }
    EXPECT_EQ(Lines(), Under({"a*.wav", "a?.wav", "[a].wav"}));
    EXPECT_EQ(Entries(), Under({"a*.wav", "a?.wav", "[a].wav"}));
}

// Names of every kind a Linux folder may hold, in directories as in files: listed by Add
// Directory in byte order, shown as they are, and played from the list through edit 1000.
// A directory named "*" is searched as itself, not as a pattern matching its siblings.
TEST_F(FileSelectionTest, NamesOfAnyCharactersAreListedShownAndPlayed) {
    const std::vector<std::string> expected = {
        " lead/ trail .wav",
        "*/song.wav",
        "-dash/-n.wav",
        "A\xc3\xa7\xc3\xa3o/faixa \xc3\xa1.wav",
        "[set] ?/[a-z] *.wav",
        "back\\slash/a\\b.wav",
        "it's \"here\"/o'clock \"x\".wav",
        "tab\tnew\nline.wav",
        "top.wav",
        "\xd0\x9c\xd1\x83\xd0\xb7\xd1\x8b\xd0\xba\xd0\xb0/"
        "\xd0\xbf\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f.wav",
        "\xe9\x9f\xb3\xe6\xa5\xbd/\xe6\x9b\xb2.wav",
    };
    // Track i lasts (i + 1) tenths of a second, so that its deck's length tells it apart.
    for (std::size_t i = 0; i < expected.size(); ++i) {
        fs::create_directories(fs::path(m_dir.File(expected[i])).parent_path());
        WriteWav(expected[i], 4410L * static_cast<long>(i + 1), Constant(0.1f, 0.1f));
    }
    // Not UTF-8: neither the directory nor the file can be shown, so neither is listed.
    fs::create_directory(m_dir.File("\xff\xfe"));
    WriteWav("\xff\xfe/hidden.wav", 4410, Constant(0.1f, 0.1f));
    WriteWav("bad \xc3(.wav", 4410, Constant(0.1f, 0.1f));

    Click(IDC_SUBDIRS);
    Choose(m_dir.File("top.wav"));
    Click(IDC_ADICIONAR_DIRECTORIO);
    ASSERT_EQ(Lines(), Under(expected));
    EXPECT_EQ(Entries(), Under(expected));

    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i]);
        Dlg().m_sequenceList.SetCurSel(static_cast<int>(i));
        Dlg().OnSequenceDblClk();
        EXPECT_EQ(Text(IDC_PATH), m_dir.File(expected[i]));
        EXPECT_EQ(Dlg().m_playing1, 1);
        EXPECT_EQ(Dlg().m_lengthMs1, 100 * static_cast<int>(i + 1));
        Click(IDC_PARAR_1);
    }

    // A directory chosen through one of its files is searched by its name, not as a pattern.
    Click(IDC_CLEAR);
    Click(IDC_SUBDIRS);
    for (const char* chosen : {"*/song.wav", "[set] ?/[a-z] *.wav"}) {
        Choose(m_dir.File(chosen));
        Click(IDC_ADICIONAR_DIRECTORIO);
    }
    EXPECT_EQ(Lines(), Under({"*/song.wav", "[set] ?/[a-z] *.wav"}));
}

TEST_F(FileSelectionTest, AddDirectoryOfTwentyThousandFilesListsEachPlayableOneOnceInOrder) {
    std::vector<std::string> expected;
    for (int i = 0; i < 22000; ++i) {
        std::string number = std::to_string(i);
        number.insert(0, 5 - number.size(), '0');
        // Every eleventh file is no audio.
        const std::string name = "track " + number + (i % 11 == 10 ? ".txt" : ".wav");
        Touch(name);
        if (i % 11 != 10) {
            expected.push_back(m_dir.File(name));
        }
    }
    ASSERT_EQ(expected.size(), 20000u);
    Choose(expected.front());
    Click(IDC_ADICIONAR_DIRECTORIO);
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(Entries(), expected);
}

// Links that lead back up from two levels down, to "/", across between two sibling trees
// and nowhere: the walk ends, lists each file once, by the first way to it in name order,
// and lists a dangling link by its name, as it would a damaged file.
TEST_F(FileSelectionTest, AddDirectoryWithSubDirsEndsWhateverTheLinksLeadTo) {
    for (const char* name : {"top.wav", "a/a.wav", "b/b.wav", "deep/er/low.wav"}) {
        Touch(name);
    }
    fs::create_directory_symlink(m_dir.Path(), m_dir.File("deep/er/up"));
    fs::create_directory_symlink(m_dir.File("deep"), m_dir.File("deep/er/back"));
    fs::create_directory_symlink("/", m_dir.File("deep/er/root"));
    fs::create_directory_symlink(m_dir.File("b"), m_dir.File("a/to-b"));
    fs::create_directory_symlink(m_dir.File("a"), m_dir.File("b/to-a"));
    fs::create_symlink(m_dir.File("missing.wav"), m_dir.File("deep/gone.wav"));
    fs::create_directory_symlink(m_dir.File("missing"), m_dir.File("deep/gone"));
    fs::create_symlink("self.wav", m_dir.File("self.wav"));

    Click(IDC_SUBDIRS);
    Choose(m_dir.File("top.wav"));
    Click(IDC_ADICIONAR_DIRECTORIO);
    const auto expected = Under(
        {"a/a.wav", "a/to-b/b.wav", "deep/er/low.wav", "deep/gone.wav", "self.wav", "top.wav"});
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(Entries(), expected);
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
