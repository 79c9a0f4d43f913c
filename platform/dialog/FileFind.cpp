#include "FileFind.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

bool HasWildcards(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchWildcards(std::string_view name, std::string_view pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    // Where the last '*' was met and how far into the name it had reached, to widen it
    // by one character whenever the rest fails to match.
    std::size_t starAt = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starName = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool IsUtf8(const char* text) {
    const auto* byte = reinterpret_cast<const unsigned char*>(text);
    while (*byte != 0) {
        const unsigned lead = *byte++;
        int follow = 0;
        unsigned value = 0;
        unsigned least = 0;
        if (lead < 0x80) {
            continue;
        }
        if (lead >= 0xc2 && lead <= 0xdf) {
            follow = 1, value = lead & 0x1f, least = 0x80;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            follow = 2, value = lead & 0x0f, least = 0x800;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            follow = 3, value = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        for (int i = 0; i < follow; ++i, ++byte) {
            if ((*byte & 0xc0) != 0x80) {
                return false;
            }
            value = (value << 6) | (*byte & 0x3f);
        }
        // Overlong forms, surrogates and values past U+10FFFF do not decode either.
        if (value < least || (value >= 0xd800 && value <= 0xdfff) || value > 0x10ffff) {
            return false;
        }
    }
    return true;
}

bool IsDotsName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The type of an entry as the search reports it; false when it is to be left out. The
// directory's listing tells most types without a look at the entry itself.
bool Classify(int dirFd, const char* name, unsigned char type, bool& directory, dev_t& device,
              ino_t& inode) {
    directory = false;
    if (type == DT_REG) {
        return true;
    }
    // "." and ".." are directories by their names.
    if (IsDotsName(name)) {
        directory = true;
        return true;
    }
    struct stat info {};
    if (fstatat(dirFd, name, &info, 0) != 0) {
        // A dangling link is reported as the file name it is.
        return fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
    }
    directory = S_ISDIR(info.st_mode);
    device = info.st_dev;
    inode = info.st_ino;
    return true;
}

// The directory part of a pattern, absolute and lexically normal, without a trailing '/'.
bool AbsoluteRoot(const std::string& directoryPart, std::string& root) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = directoryPart.empty() ? fs::current_path(error)
                                          : fs::absolute(fs::path(directoryPart), error);
    if (error) {
        return false;
    }
    root = path.lexically_normal().string();
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    return !root.empty();
}

} // namespace

bool AfxMatchFileName(std::string_view name, std::string_view pattern) {
    // What a search of a whole directory asks, for every entry.
    if (pattern == "*" || pattern == "*.*") {
        return true;
    }
    if (MatchWildcards(name, pattern)) {
        return true;
    }
    return pattern.ends_with(".*") && MatchWildcards(name, pattern.substr(0, pattern.size() - 2));
}

BOOL CFileFind::FindFile(const std::string& pattern) {
    return Find(pattern, false);
}

BOOL CFileFind::FindExactFile(const std::string& path) {
    return Find(path, true);
}

BOOL CFileFind::Find(const std::string& pattern, bool exactOnly) {
    Close();
    const std::size_t slash = pattern.rfind('/');
    const std::string directoryPart =
        slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    const std::string namePart = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (namePart.empty() || !AbsoluteRoot(directoryPart, m_root)) {
        return FALSE;
    }

    if (exactOnly || !HasWildcards(namePart)) {
        // A name is looked up without reading the directory, which a directory that may be
        // searched but not read allows.
        const int lookupFd = open(m_root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        Entry exact{namePart};
        const bool found = lookupFd >= 0 && IsUtf8(namePart.c_str()) &&
                           Classify(lookupFd, namePart.c_str(), DT_UNKNOWN, exact.directory,
                                    exact.identity.device, exact.identity.inode);
        if (found) {
            const bool enterable = exact.directory && !IsDotsName(namePart.c_str());
            m_entries.push_back(std::move(exact));
            if (enterable) {
                m_directoriesEnd = 1;
                m_dirFd = lookupFd;
            } else {
                close(lookupFd);
            }
            return TRUE;
        }
        if (lookupFd >= 0) {
            close(lookupFd);
        }
        if (exactOnly) {
            return FALSE;
        }
    }
    const int dirFd = open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return dirFd >= 0 ? List(dirFd, namePart) : FALSE;
}

BOOL CFileFind::FindIn(std::string root, int dirFd, std::string_view namePart) {
    Close();
    m_root = std::move(root);
    return List(dirFd, namePart);
}

BOOL CFileFind::List(int dirFd, std::string_view namePart) {
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return FALSE;
    }
    bool subdirectory = false;
    while (const dirent* found = readdir(dir)) {
        if (!IsUtf8(found->d_name) || !AfxMatchFileName(found->d_name, namePart)) {
            continue;
        }
        Entry entry{found->d_name};
        if (Classify(dirfd(dir), found->d_name, found->d_type, entry.directory,
                     entry.identity.device, entry.identity.inode)) {
            subdirectory = subdirectory || (entry.directory && !IsDotsName(found->d_name));
            m_entries.push_back(std::move(entry));
        }
    }
    // The list is read whole, and the directory kept open only when it holds one to enter.
    if (subdirectory) {
        m_dirFd = fcntl(dirfd(dir), F_DUPFD_CLOEXEC, 0);
    }
    closedir(dir);
    std::sort(m_entries.begin(), m_entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    for (std::size_t i = m_entries.size(); i > 0 && m_directoriesEnd == 0; --i) {
        if (m_entries[i - 1].directory && !IsDotsName(m_entries[i - 1].name.c_str())) {
            m_directoriesEnd = i;
        }
    }
    return m_entries.empty() ? FALSE : TRUE;
}

int CFileFind::OpenCurrentDirectory() const {
    const Entry* entry = Current();
    if (entry == nullptr || !entry->directory) {
        return -1;
    }
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    return m_dirFd >= 0 ? openat(m_dirFd, entry->name.c_str(), kFlags)
                        : open(GetFilePath().c_str(), kFlags);
}

void CFileFind::ReleaseDirectory() {
    if (m_dirFd >= 0) {
        close(m_dirFd);
    }
    m_dirFd = -1;
}

BOOL CFileFind::FindNextFile() {
    if (m_next < m_entries.size()) {
        ++m_next;
    }
    return m_next < m_entries.size() ? TRUE : FALSE;
}

void CFileFind::Close() {
    ReleaseDirectory();
    m_root.clear();
    m_entries.clear();
    m_next = 0;
    m_directoriesEnd = 0;
}

const CFileFind::Entry* CFileFind::Current() const {
    return m_next == 0 ? nullptr : &m_entries[m_next - 1];
}

const std::string& CFileFind::GetFileName() const {
    static const std::string kNone;
    const Entry* entry = Current();
    return entry ? entry->name : kNone;
}

std::string CFileFind::GetFilePath() const {
    const Entry* entry = Current();
    if (entry == nullptr) {
        return {};
    }
    std::string path;
    path.reserve(m_root.size() + 1 + entry->name.size());
    path.append(m_root);
    if (m_root != "/") {
        path.push_back('/');
    }
    return path.append(entry->name);
}

BOOL CFileFind::IsDirectory() const {
    const Entry* entry = Current();
    return entry && entry->directory ? TRUE : FALSE;
}

BOOL CFileFind::IsDots() const {
    const Entry* entry = Current();
    return entry && entry->directory && IsDotsName(entry->name.c_str()) ? TRUE : FALSE;
}
