#pragma once

#include "AfxTypes.h"

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A search of one directory for the entries whose names match a pattern, walked the way
// MFC's CFileFind is: FindFile starts it, each FindNextFile steps onto the next entry and
// says whether another one follows, the accessors describe the entry stepped onto.
//
// Patterns are Linux paths: a directory part ending in '/' (absent: the current directory)
// and a name part in which '*' stands for any run of characters and '?' for one. A name part
// ending in ".*" also matches the names without that dot, as on Windows, so "*.*" matches
// every name, "." and ".." included. Letters match without regard to case, as on Windows
// (ASCII letters only: other characters match exactly). A pattern without wildcards finds
// the entry of exactly that name when there is one, and otherwise the entries it matches.
//
// Entries come in byte-wise name order. A symbolic link counts as what it points to, a link
// to a directory as a directory. Names that are not valid UTF-8 are not reported: the window's
// controls hold text, which could neither show such a name nor give it back unchanged.
class CFileFind {
  public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // TRUE when at least one entry matches; any earlier search is ended first.
    BOOL FindFile(const std::string& pattern = "*.*");
    // The one entry `path` names, its name taken as it is: '*' and '?' are ordinary
    // characters of Linux file names, so a name the user chose may hold them.
    BOOL FindExactFile(const std::string& path);
    // Steps onto the next entry; FALSE when it is the last one (it is still valid then).
    BOOL FindNextFile();
    void Close();

    const std::string& GetFileName() const;
    // The search's directory, made absolute, a '/' and the entry's name.
    std::string GetFilePath() const;
    // The search's directory, made absolute, without a trailing '/' (except "/" itself).
    std::string GetRoot() const { return m_root; }
    BOOL IsDirectory() const;
    // "." or "..".
    BOOL IsDots() const;

  private:
    // A walk enters the subdirectories that searches find, through the searches' own open
    // directories.
    friend class CDirectoryWalk;

    // Which directory an entry is, whatever the route to it.
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const Identity&) const = default;
    };
    struct Entry {
        std::string name;
        bool directory = false;
        Identity identity{}; // of a directory other than "." and ".."
    };

    BOOL Find(const std::string& pattern, bool exactOnly);
    // The search of the directory open on `dirFd` (taken over) that `root` names.
    BOOL FindIn(std::string root, int dirFd, std::string_view namePart);
    BOOL List(int dirFd, std::string_view namePart);
    const Entry* Current() const;
    // The directory stepped onto, opened for reading; -1 when it cannot be.
    int OpenCurrentDirectory() const;
    // Whether a directory other than "." and ".." comes after the entry stepped onto.
    bool DirectoryFollows() const { return m_next < m_directoriesEnd; }
    bool HoldsDirectory() const { return m_dirFd >= 0; }
    void ReleaseDirectory();

    std::string m_root;
    std::vector<Entry> m_entries;
    // One past the entry stepped onto; 0 before the first FindNextFile.
    std::size_t m_next = 0;
    // One past the last directory other than "." and ".."; 0 when there is none.
    std::size_t m_directoriesEnd = 0;
    // The search's directory, kept open while it holds a directory to enter: each one is
    // opened through it, at no cost for the length of the path above.
    int m_dirFd = -1;
};

// Whether a name matches the name part of a search pattern, by the rules above.
bool AfxMatchFileName(std::string_view name, std::string_view pattern);
