#pragma once

#include "FileFind.h"

#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>

// A walk down a tree of directories: the search of one directory and, for each subdirectory
// the caller enters, the search of that one, whose entries come before the rest of its
// parent's (depth first).
//
// Each directory is entered once, however many links lead to it, and none on the path from
// "/" down to where the walk started: so the walk ends, and a file is met once, by the first
// route in name order. Nor does it enter the filesystems through which the kernel shows its
// own state (/proc, /sys, /dev and their kin): they hold no files to play, and the links
// inside them make them all but endless.
//
// A directory is opened through its parent's open descriptor, not by its path, so a step
// costs the same at any depth.
class CDirectoryWalk {
  public:
    CDirectoryWalk() = default;
    CDirectoryWalk(const CDirectoryWalk&) = delete;
    CDirectoryWalk& operator=(const CDirectoryWalk&) = delete;

    // Starts with the search for `pattern`, as CFileFind::FindFile does; FALSE when nothing
    // matches.
    BOOL Start(const std::string& pattern);
    // Steps onto the next entry: of the directory entered last while it has one left, then
    // of the directory it was entered from. FALSE when no entry is left.
    BOOL Next();
    // The entry stepped onto, after Next gave TRUE.
    const CFileFind& Current() const;
    // Enters the entry stepped onto, searched for the names `namePattern` matches: its
    // entries come next. Nothing happens for a file, "." and "..", a directory entered before,
    // and a directory of the kernel's own filesystems.
    void Enter(const std::string& namePattern);

  private:
    struct Level {
        CFileFind search;
        BOOL more = TRUE;
    };
    struct IdentityHash {
        std::size_t operator()(const CFileFind::Identity& identity) const;
    };

    void EnterPathTo(const std::string& root);
    bool IsKernelState(int dirFd, dev_t device);

    std::deque<Level> m_levels;
    std::unordered_set<CFileFind::Identity, IdentityHash> m_entered;
    std::unordered_map<dev_t, bool> m_kernelState;
    // How many searches of m_levels keep their directory open.
    int m_held = 0;
};
