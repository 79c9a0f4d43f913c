#pragma once

// Inside the dialog layer: what an HICON points to.

#include "AfxTypes.h"

#include <QImage>

#include <vector>

struct IconResource {
    std::vector<QImage> pictures;

    // The picture whose width is nearest to the size asked for.
    QImage Picture(int size) const;
};

// Converts between GDI and Qt colours.
inline QRgb ToQRgb(COLORREF c) {
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}
inline COLORREF FromQRgb(QRgb c) {
    return RGB(qRed(c), qGreen(c), qBlue(c));
}
