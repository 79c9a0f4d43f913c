// Choosing files and putting them into the playlist.
//
// Paths are the system's own, '/' between their components: a backslash is an ordinary
// character of a Linux file name, so it cannot serve as a separator.
#include "CorvalineDlg.h"

#include <array>
#include <string_view>

namespace {

constexpr char kSeparator = '/';
// Every entry of a directory; the file search gives "*.*" that meaning.
constexpr const char* kEveryEntry = "/*.*";
constexpr const char* kMpegFiles = "/*.mp*";
// The eight of MPEG and WAVE first, then every other kind the sound library reads.
constexpr std::array kPlayableExtensions{".MP1", ".MP2",  ".MP3",  ".MPA", ".WAV", ".RAW",
                                         ".PCM", ".MPG",  ".FLAC", ".OGG", ".OGA", ".OPUS",
                                         ".AIF", ".AIFF", ".AIFC", ".AU",  ".W64", ".CAF"};

// The MPEG and WAVE pairs, then one pair for every playable kind, in the table's order.
std::string AudioFilter() {
    std::string filter = "Ficheiros MPEG(*.mp*)| *.mp*|Ficheiros WAVE (*.wav)| *.wav|"
                         "Todos os ficheiros de som|";
    for (std::string_view extension : kPlayableExtensions) {
        filter += filter.back() == '|' ? " *" : "; *";
        for (char c : extension) {
            filter += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    return filter + "||";
}

// Whether a file name's extension, in upper case, is one the table plays.
bool IsPlayable(const std::map<std::string, int>& extensions, const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot);
    // Only ASCII letters change: the bytes of other UTF-8 characters are left alone.
    for (char& c : extension) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    const auto found = extensions.find(extension);
    return found != extensions.end() && found->second != 0;
}

} // namespace

void CCorvalineDlg::FillExtensionTable() {
    for (const char* extension : kPlayableExtensions) {
        m_extensions[extension] = 1;
    }
}

void CCorvalineDlg::ReplaceLastComponent(std::string& path, const std::string& suffix) {
    // A separator in the first place is the root, whose entries are replaced like any
    // other directory's.
    const std::size_t separator = path.rfind(kSeparator);
    if (separator == std::string::npos) {
        return;
    }
    path = path.substr(0, separator) + suffix;
}

void CCorvalineDlg::LastComponent(std::string& path) {
    const std::size_t separator = path.rfind(kSeparator);
    if (separator != std::string::npos) {
        path = path.substr(separator + 1);
    }
}

bool CCorvalineDlg::ChooseAudioFile(std::string& path) {
    const std::string before = path;
    CFileDialog dialog(TRUE, {}, path, OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NONETWORKBUTTON,
                       AudioFilter(), this);
    if (dialog.DoModal() == IDOK) {
        path = dialog.GetPathName();
        return true;
    }
    path = before;
    return false;
}

// The extension is the name's: the full path's differs only for a name without a dot, and then
// holds a separator and is never playable. Most files of a music folder are not, and their
// paths are never made.
void CCorvalineDlg::AddIfPlayable(const CFileFind& found) {
    if (found.IsDirectory() || !IsPlayable(m_extensions, found.GetFileName())) {
        return;
    }
    std::string fullPath = found.GetFilePath();
    m_sequenceList.AddString(fullPath);
    m_sequence.push_back(SequenceEntry{std::move(fullPath), 0});
}

void CCorvalineDlg::AddFromSearch(const std::string& pattern, int includeSubdirectories) {
    // Each subdirectory is searched for the same names as the directory above it.
    std::string wildcard = pattern;
    LastComponent(wildcard);
    // Depth first: a subdirectory's files come before its parent's remaining ones. Links are
    // followed, but no directory is entered twice, whatever the route to it.
    CDirectoryWalk walk;
    walk.Start(pattern);
    while (walk.Next()) {
        const CFileFind& found = walk.Current();
        if (!found.IsDirectory()) {
            AddIfPlayable(found);
        } else if (includeSubdirectories != 0) {
            walk.Enter(wildcard);
        }
    }
}

void CCorvalineDlg::OnBrowse() {
    UpdateFields();
    const std::string before = m_path;
    ReplaceLastComponent(m_path, kMpegFiles);
    if (!ChooseAudioFile(m_path)) {
        m_path = before;
    }
    UpdateControls();
}

void CCorvalineDlg::AddExact(const std::string& path, bool searchDirectory) {
    // The name is looked up exactly: it is no pattern even when it holds '*' or '?'.
    CFileFind finder;
    if (!finder.FindExactFile(path)) {
        return;
    }
    finder.FindNextFile();
    if (!finder.IsDirectory()) {
        AddIfPlayable(finder);
    } else if (searchDirectory) {
        AddDirectory(finder.GetFilePath() + kEveryEntry);
    }
}

void CCorvalineDlg::AddDirectory(const std::string& pattern) {
    // The window answers nothing until a whole tree has been searched.
    CWaitCursor busy;
    AddFromSearch(pattern, m_subDirs);
}

void CCorvalineDlg::OnAddFile() {
    UpdateFields();
    std::string pattern = m_path;
    ReplaceLastComponent(pattern, kEveryEntry);
    if (ChooseAudioFile(pattern)) {
        AddExact(pattern, false);
    }
    UpdateControls();
}

void CCorvalineDlg::OnAddDirectory() {
    UpdateFields();
    std::string pattern = m_path;
    ReplaceLastComponent(pattern, kEveryEntry);
    // The user names a directory by choosing any file in it.
    if (ChooseAudioFile(pattern)) {
        ReplaceLastComponent(pattern, kEveryEntry);
        AddDirectory(pattern);
    }
    UpdateControls();
}

// Each file dropped is added as "Adicionar ficheiro" adds one, each folder as "Adicionar
// directorio" adds the folder of a file chosen in it, in the order of the drop.
void CCorvalineDlg::OnDropFiles(HDROP hDropInfo) {
    UpdateFields();
    std::string path;
    const UINT count = DragQueryFile(hDropInfo, 0xFFFFFFFF, path);
    for (UINT i = 0; i < count; ++i) {
        DragQueryFile(hDropInfo, i, path);
        AddExact(path, true);
    }
    UpdateControls();
}

void CCorvalineDlg::OnClear() {
    UpdateFields();
    m_sequenceList.ResetContent();
    m_sequence.clear();
    UpdateControls();
}
