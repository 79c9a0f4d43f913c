#pragma once

// Files dropped from a file manager. A control (or the dialog) that accepts files, as
// DragAcceptFiles makes it, passes each drop of local files and folders to its dialog's
// command map as WM_DROPFILES, once the drop has ended, so that the program's work on them
// keeps no drag source waiting. The handle is valid while the handler runs.

#include "AfxTypes.h"

#include <string>
#include <vector>

struct DroppedFiles {
    std::vector<std::string> paths; // UTF-8, absolute, in the order the drag gave them
};
using HDROP = const DroppedFiles*;

inline constexpr UINT WM_DROPFILES = 0x0233;

// With iFile 0xFFFFFFFF the number of files dropped; otherwise `path` gets file iFile and the
// result is its length (0, path emptied, for an index past the last).
UINT DragQueryFile(HDROP hDrop, UINT iFile, std::string& path);
