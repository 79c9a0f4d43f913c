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
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool IsUtf8(const char* text) {
    const auto* byte = reinterpret_cast<const unsigned char*>(text);
    while (*byte != 0) {
        const unsigned lead = *byte++;
        int follow = 0;
        unsigned value = 0;
        unsigned least = 0;
        if (lead < 0x80)
            continue;
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
            if ((*byte & 0xc0) != 0x80)
                return false;
            value = (value << 6) | (*byte & 0x3f);
        }
        // Overlong forms, surrogates and values past U+10FFFF do not decode either.
        if (value < least || (value >= 0xd800 && value <= 0xdfff) || value > 0x10ffff)
            return false;
    }
    return true;
}

struct Identity {
    dev_t device;
    ino_t inode;
    bool operator==(const Identity&) const = default;
};

// Every directory from "/" down to a search's root as the path reaches it, links followed:
// the directories that a walk descending from the root has already passed through. Worked
// out when first asked: most directories of a tree hold no subdirectory to ask about.
class PathAbove {
  public:
    explicit PathAbove(const std::string& root) : m_root(root) {}

    bool Contains(const Identity& identity) {
        if (!m_known) {
            m_identities = Identities();
            m_known = true;
        }
        return std::find(m_identities.begin(), m_identities.end(), identity) !=
               m_identities.end();
    }

  private:
    std::vector<Identity> Identities() const {
        // "/" itself too: a link to it leads up from anywhere.
        std::vector<std::string> prefixes = {"/"};
        for (std::size_t slash = m_root.find('/', 1); slash != std::string::npos;
             slash = m_root.find('/', slash + 1))
            prefixes.push_back(m_root.substr(0, slash));
        if (m_root != "/")
            prefixes.push_back(m_root);
        std::vector<Identity> identities;
        for (const std::string& prefix : prefixes) {
            struct stat info {};
            if (stat(prefix.c_str(), &info) == 0)
                identities.push_back({info.st_dev, info.st_ino});
        }
        return identities;
    }

    const std::string& m_root;
    std::vector<Identity> m_identities;
    bool m_known = false;
};

bool IsDotsName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The type of an entry as the search reports it; false when it is to be left out. The
// directory's listing tells most types without a look at the entry itself.
bool Classify(int dirFd, const char* name, unsigned char type, PathAbove& path,
              bool& directory, bool& ancestor) {
    directory = false;
    ancestor = false;
    if (type == DT_REG)
        return true;
    // "." and ".." are the root and the directory above it, on the path by their names.
    if (IsDotsName(name)) {
        directory = true;
        ancestor = true;
        return true;
    }
    struct stat info {};
    if (fstatat(dirFd, name, &info, 0) != 0) {
        // A dangling link is reported as the file name it is.
        return fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
    }
    directory = S_ISDIR(info.st_mode);
    if (directory)
        ancestor = path.Contains({info.st_dev, info.st_ino});
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

bool AfxMatchFileName(std::string_view name, std::string_view pattern) {
    // What a search of a whole directory asks, for every entry.
    if (pattern == "*" || pattern == "*.*")
        return true;
    if (MatchWildcards(name, pattern))
        return true;
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
    if (namePart.empty() || !AbsoluteRoot(directoryPart, m_root))
        return FALSE;

    PathAbove path(m_root);
    if (exactOnly || !HasWildcards(namePart)) {
        // A name is looked up without reading the directory, which a directory that may be
        // searched but not read allows.
        const int lookupFd = open(m_root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        Entry exact{namePart};
        const bool found = lookupFd >= 0 && IsUtf8(namePart.c_str()) &&
                           Classify(lookupFd, namePart.c_str(), DT_UNKNOWN, path,
                                    exact.directory, exact.ancestor);
        if (lookupFd >= 0)
            close(lookupFd);
        if (found) {
            m_entries.push_back(exact);
            return TRUE;
        }
        if (exactOnly)
            return FALSE;
    }
    // The list is read whole, so that a search nested inside this one (a tree walk)
    // holds no descriptor of its parent's.
    const int dirFd = open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return FALSE;
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return FALSE;
    }
    while (const dirent* found = readdir(dir)) {
        if (!IsUtf8(found->d_name) || !AfxMatchFileName(found->d_name, namePart))
            continue;
        Entry entry{found->d_name};
        if (Classify(dirfd(dir), found->d_name, found->d_type, path, entry.directory,
                     entry.ancestor))
            m_entries.push_back(std::move(entry));
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

const std::string& CFileFind::GetFileName() const {
    static const std::string kNone;
    const Entry* entry = Current();
    return entry ? entry->name : kNone;
}

std::string CFileFind::GetFilePath() const {
    const Entry* entry = Current();
    if (entry == nullptr)
        return {};
    std::string path;
    path.reserve(m_root.size() + 1 + entry->name.size());
    path.append(m_root);
    if (m_root != "/")
        path.push_back('/');
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

BOOL CFileFind::IsAncestor() const {
    const Entry* entry = Current();
    return entry && entry->ancestor ? TRUE : FALSE;
}
