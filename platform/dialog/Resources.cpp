#include "IconResource.h"
#include "WinApp.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

// Registrations may come from static initialisers, hence the function-local tables.
std::map<UINT, std::string>& Strings() {
    static std::map<UINT, std::string> table;
    return table;
}

std::map<UINT, std::unique_ptr<IconResource>>& Icons() {
    static std::map<UINT, std::unique_ptr<IconResource>> table;
    return table;
}

} // namespace

QImage IconResource::Picture(int size) const {
    const QImage* best = nullptr;
    for (const QImage& picture : pictures) {
        if (!best || std::abs(picture.width() - size) < std::abs(best->width() - size)) {
            best = &picture;
        }
    }
    return best ? *best : QImage();
}

BOOL AfxRegisterString(UINT nID, const std::string& text) {
    Strings()[nID] = text;
    return TRUE;
}

BOOL AfxLoadString(UINT nID, std::string& text) {
    const auto it = Strings().find(nID);
    text = it == Strings().end() ? std::string() : it->second;
    return it == Strings().end() ? FALSE : TRUE;
}

BOOL AfxRegisterIcon(UINT nID, std::initializer_list<const char* const*> xpmPictures) {
    // Handles already given out stay valid: an identifier is registered once.
    if (Icons().count(nID) != 0) {
        return FALSE;
    }
    auto icon = std::make_unique<IconResource>();
    for (const char* const* xpm : xpmPictures) {
        QImage picture(xpm);
        if (picture.isNull()) {
            return FALSE;
        }
        icon->pictures.push_back(picture.convertToFormat(QImage::Format_ARGB32));
    }
    if (icon->pictures.empty()) {
        return FALSE;
    }
    Icons()[nID] = std::move(icon);
    return TRUE;
}

HICON AfxFindIcon(UINT nID) {
    const auto it = Icons().find(nID);
    return it == Icons().end() ? nullptr : it->second.get();
}

BOOL AfxSaveIconPicture(UINT nID, int size, const std::string& path) {
    const IconResource* icon = AfxFindIcon(nID);
    if (!icon || size <= 0) {
        return FALSE;
    }
    const QImage* whole = nullptr;
    for (const QImage& picture : icon->pictures) {
        if (size % picture.width() == 0 && (!whole || picture.width() > whole->width())) {
            whole = &picture;
        }
    }
    const QImage source = whole ? *whole : icon->Picture(size);
    const QImage scaled = source.scaled(size, size, Qt::IgnoreAspectRatio,
                                        whole ? Qt::FastTransformation : Qt::SmoothTransformation);
    return scaled.save(QString::fromStdString(path), "PNG") ? TRUE : FALSE;
}
