#pragma once

#include "AfxTypes.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CWnd;

// Options of the file dialogs, with their Windows values. Those without a counterpart here
// (the read-only box, the network button, the explorer style) are accepted and change nothing.
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_NONETWORKBUTTON = 0x00020000;
inline constexpr DWORD OFN_EXPLORER = 0x00080000;

// What a file dialog shows as it opens.
struct FileDialogRequest {
    bool open = true;
    // Absolute; the user's home when the initial file name names no existing directory.
    std::string directory;
    // The initial name within that directory; empty when it was a wildcard pattern.
    std::string fileName;
    // (description, patterns) pairs of the filter text, in order; the first is selected.
    std::vector<std::pair<std::string, std::string>> filters;
    std::string defaultExtension;
    DWORD flags = 0;
};

// The platform's dialog for choosing one file to open (or a name to save under), modal over
// its parent or over the dialog in front. The filter text is Windows': pairs of a description
// and its patterns ("*.a;*.b"), each followed by '|', and a final '|'.
class CFileDialog {
  public:
    explicit CFileDialog(BOOL bOpenFileDialog, const std::string& defaultExtension = {},
                         const std::string& fileName = {},
                         DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         const std::string& filter = {}, CWnd* pParentWnd = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when a file was chosen, IDCANCEL otherwise. The window's timers and other
    // events go on being handled while the dialog is open.
    INT_PTR DoModal();

    // The chosen file's full path, its name, and the name's extension (no dot).
    std::string GetPathName() const { return m_pathName; }
    std::string GetFileName() const;
    std::string GetFileExt() const;

    const FileDialogRequest& Request() const { return m_request; }

  private:
    FileDialogRequest m_request;
    CWnd* m_pParentWnd;
    std::string m_pathName;
};

// Splits a Windows filter text into its (description, patterns) pairs.
std::vector<std::pair<std::string, std::string>> AfxParseFileFilter(const std::string& filter);

// While set, every file dialog is answered by `answer` instead of being shown: it returns the
// chosen full path, or nothing for a cancel. For tests; an empty function restores the dialog.
using FileDialogAnswer = std::function<std::optional<std::string>(const FileDialogRequest&)>;
void AfxSetFileDialogAnswer(FileDialogAnswer answer);
