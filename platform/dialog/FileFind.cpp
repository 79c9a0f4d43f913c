#include "FileFind.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

bool HasWildcards(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

bool MatchWildcards(const std::string& name, const std::string& pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    // Where the last '*' was met and how far into the name it had reached, to widen it
    // by one character whenever the rest fails to match.
    std::size_t starAt = std::string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starName = n;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// The type of an entry as the search reports it; false when it is to be left out.
bool Classify(int dirFd, const char* name, bool& directory) {
    struct stat info {};
    if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISLNK(info.st_mode)) {
        struct stat target {};
        // A dangling link is reported as the file name it is.
        if (fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode))
            return false;
        directory = false;
        return true;
    }
    directory = S_ISDIR(info.st_mode);
    return true;
}

// The directory part of a pattern, absolute and lexically normal, without a trailing '/'.
bool AbsoluteRoot(const std::string& directoryPart, std::string& root) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = directoryPart.empty() ? fs::current_path(error)
                                          : fs::absolute(fs::path(directoryPart), error);
    if (error)
        return false;
    root = path.lexically_normal().string();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return !root.empty();
}

} // namespace

bool AfxMatchFileName(const std::string& name, const std::string& pattern) {
    if (MatchWildcards(name, pattern))
        return true;
    const std::size_t size = pattern.size();
    return size >= 2 && pattern.compare(size - 2, 2, ".*") == 0 &&
           MatchWildcards(name, pattern.substr(0, size - 2));
}

BOOL CFileFind::FindFile(const std::string& pattern) {
    Close();
    const std::size_t slash = pattern.rfind('/');
    const std::string directoryPart =
        slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    const std::string namePart = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (namePart.empty() || !AbsoluteRoot(directoryPart, m_root))
        return FALSE;

    const int dirFd = open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return FALSE;
    if (!HasWildcards(namePart)) {
        bool directory = false;
        if (Classify(dirFd, namePart.c_str(), directory))
            m_entries.push_back({namePart, directory});
        close(dirFd);
        return m_entries.empty() ? FALSE : TRUE;
    }
    // The list is read whole, so that a search nested inside this one (a tree walk)
    // holds no descriptor of its parent's.
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return FALSE;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        bool directory = false;
        if (AfxMatchFileName(name, namePart) && Classify(dirfd(dir), entry->d_name, directory))
            m_entries.push_back({name, directory});
    }
    closedir(dir);
    std::sort(m_entries.begin(), m_entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return m_entries.empty() ? FALSE : TRUE;
}

BOOL CFileFind::FindNextFile() {
    if (m_next < m_entries.size())
        ++m_next;
    return m_next < m_entries.size() ? TRUE : FALSE;
}

void CFileFind::Close() {
    m_root.clear();
    m_entries.clear();
    m_next = 0;
}

const CFileFind::Entry* CFileFind::Current() const {
    return m_next == 0 ? nullptr : &m_entries[m_next - 1];
}

std::string CFileFind::GetFileName() const {
    const Entry* entry = Current();
    return entry ? entry->name : std::string();
}

std::string CFileFind::GetFilePath() const {
    const Entry* entry = Current();
    if (entry == nullptr)
        return {};
    return m_root == "/" ? m_root + entry->name : m_root + "/" + entry->name;
}

BOOL CFileFind::IsDirectory() const {
    const Entry* entry = Current();
    return entry && entry->directory ? TRUE : FALSE;
}

BOOL CFileFind::IsDots() const {
    const Entry* entry = Current();
    return entry && entry->directory && (entry->name == "." || entry->name == "..") ? TRUE : FALSE;
}
