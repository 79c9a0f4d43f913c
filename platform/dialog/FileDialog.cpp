#include "FileDialog.h"

#include "DialogWindow.h"
#include "Wnd.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include <filesystem>
#include <system_error>

namespace {

FileDialogAnswer& Answer() {
    static FileDialogAnswer answer;
    return answer;
}

bool HasWildcards(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// The dialog opens in the directory the initial name lies in, or in the user's home when the
// name has no directory part or its directory does not exist (a path typed for another
// machine, say). A wildcard name there (the program's way of naming a directory) is not
// offered as the file to choose.
void PlaceInitialName(const std::string& initialName, FileDialogRequest& request) {
    namespace fs = std::filesystem;
    const std::size_t slash = initialName.rfind('/');
    const std::string name =
        slash == std::string::npos ? initialName : initialName.substr(slash + 1);
    request.directory = QDir::homePath().toStdString();
    if (slash != std::string::npos) {
        std::error_code error;
        const fs::path directory =
            fs::absolute(fs::path(initialName.substr(0, slash + 1)), error).lexically_normal();
        if (error || !fs::is_directory(directory, error)) {
            return;
        }
        request.directory = directory.string();
        while (request.directory.size() > 1 && request.directory.back() == '/') {
            request.directory.pop_back();
        }
    }
    if (!HasWildcards(name)) {
        request.fileName = name;
    }
}

// "Description (p1 p2)", the form Qt reads its patterns from; with the details hidden the
// user sees the description as the filter text gave it.
QString QtFilter(const std::pair<std::string, std::string>& filter) {
    QStringList patterns;
    for (const QString& pattern :
         QString::fromStdString(filter.second).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (!trimmed.isEmpty()) {
            patterns << trimmed;
        }
    }
    if (patterns.isEmpty()) {
        patterns << QStringLiteral("*");
    }
    return QString::fromStdString(filter.first) + QStringLiteral(" (") +
           patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

} // namespace

std::vector<std::pair<std::string, std::string>> AfxParseFileFilter(const std::string& filter) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t at = 0;
    while (at < filter.size()) {
        const std::size_t descriptionEnd = filter.find('|', at);
        if (descriptionEnd == std::string::npos || descriptionEnd == at) {
            break;
        }
        const std::size_t patternsEnd = filter.find('|', descriptionEnd + 1);
        if (patternsEnd == std::string::npos) {
            break;
        }
        pairs.emplace_back(filter.substr(at, descriptionEnd - at),
                           filter.substr(descriptionEnd + 1, patternsEnd - descriptionEnd - 1));
        at = patternsEnd + 1;
    }
    return pairs;
}

void AfxSetFileDialogAnswer(FileDialogAnswer answer) {
    Answer() = std::move(answer);
}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const std::string& defaultExtension,
                         const std::string& fileName, DWORD flags, const std::string& filter,
                         CWnd* pParentWnd)
    : m_pParentWnd(pParentWnd) {
    m_request.open = bOpenFileDialog != FALSE;
    m_request.defaultExtension = defaultExtension;
    m_request.flags = flags;
    m_request.filters = AfxParseFileFilter(filter);
    PlaceInitialName(fileName, m_request);
}

INT_PTR CFileDialog::DoModal() {
    m_pathName.clear();
    if (Answer()) {
        const std::optional<std::string> chosen = Answer()(m_request);
        if (!chosen || chosen->empty()) {
            return IDCANCEL;
        }
        m_pathName = *chosen;
        return IDOK;
    }
    if (!QApplication::instance()) {
        return IDCANCEL;
    }

    QWidget* parent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (!parent) {
        parent = FrontDialogWindow();
    }
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("AfxFileDialog"));
    // Qt's own dialog behaves alike on every desktop (pattern case included) and can be
    // driven by tests; a desktop's native one can be neither relied on nor reached.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(m_request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!(m_request.flags & OFN_OVERWRITEPROMPT)) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (!m_request.defaultExtension.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(m_request.defaultExtension));
    }
    QStringList filters;
    for (const auto& filter : m_request.filters) {
        filters << QtFilter(filter);
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.front());
    }
    dialog.setDirectory(QString::fromStdString(m_request.directory));
    if (!m_request.fileName.empty()) {
        dialog.selectFile(QString::fromStdString(m_request.fileName));
    }

    if (dialog.exec() != QDialog::Accepted) {
        return IDCANCEL;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) {
        return IDCANCEL;
    }
    m_pathName = QFileInfo(chosen.front()).absoluteFilePath().toStdString();
    return IDOK;
}

std::string CFileDialog::GetFileName() const {
    const std::size_t slash = m_pathName.rfind('/');
    return slash == std::string::npos ? m_pathName : m_pathName.substr(slash + 1);
}

std::string CFileDialog::GetFileExt() const {
    const std::string name = GetFileName();
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}
