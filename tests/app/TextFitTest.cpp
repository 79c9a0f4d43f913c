// Every control's text inside its rectangle, clear of its edges, in the main window and the
// About box. The suite runs once at a device pixel ratio of 1 and once at 2.
#include "AboutDlg.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

#include <optional>
#include <sstream>
#include <vector>

using namespace corvaline::testsupport;

namespace {

// The room a control gives its text, as its style lays the control out, and the text's
// extent in the control's font. A text whose room is an edge-to-edge box must keep a pixel
// from either side, or it touches the edge.
struct TextRoom {
    QString text;
    QRectF room;
    QRectF extent;
};

std::optional<TextRoom> Measure(QWidget* w) {
    const QFontMetricsF fm(w->font());
    QStyle* style = w->style();
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.features =
            button->isDefault() ? QStyleOptionButton::DefaultButton : QStyleOptionButton::None;
        const QRectF room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return TextRoom{button->text(), room, fm.boundingRect(button->text())};
    }
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        QRectF room = style->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        // A sunken edge is drawn inside the control's rectangle, over what lies there.
        room = room.intersected(QRectF(w->rect()).adjusted(1, 1, -1, -1));
        return TextRoom{box->text(), room, fm.boundingRect(box->text())};
    }
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
        const QRectF room = label->contentsRect();
        const QRectF needed =
            fm.boundingRect(QRectF(0, 0, room.width(), 1000), Qt::TextWordWrap, label->text());
        return TextRoom{label->text(), room, needed};
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w); edit && edit->hasFrame()) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QRectF room = style->subElementRect(QStyle::SE_LineEditContents, &option, edit);
        return TextRoom{edit->text(), room, fm.boundingRect(edit->text())};
    }
    if (auto* frame = qobject_cast<QGroupBox*>(w); frame && !frame->title().isEmpty()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRectF label =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        const QRectF room = QRectF(frame->rect()).adjusted(label.left(), 0, 0, 0);
        return TextRoom{frame->title(), room, fm.boundingRect(frame->title())};
    }
    return std::nullopt;
}

// The lines of every titled frame, in the window's pixels, as it draws them: the first and
// last rows and columns of a picture of the frame alone that differ from the window's ground,
// looked for away from the title.
std::vector<QRectF> FrameLines(QWidget* window) {
    std::vector<QRectF> lines;
    for (auto* frame : window->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) {
        if (frame->title().isEmpty()) {
            continue;
        }
        const QImage picture = frame->grab().toImage();
        const qreal ratio = picture.devicePixelRatio();
        const QRgb ground = frame->palette().color(QPalette::Window).rgb();
        const int x = picture.width() * 3 / 4;
        int top = 0;
        while (top < picture.height() && picture.pixel(x, top) == ground) {
            ++top;
        }
        int bottom = picture.height() - 1;
        while (bottom > top && picture.pixel(x, bottom) == ground) {
            --bottom;
        }
        const QRectF r = QRectF(0, top / ratio, frame->width(), (bottom - top + 1) / ratio)
                             .translated(frame->pos());
        lines.insert(lines.end(), {QRectF(r.left(), r.top(), r.width(), 2),
                                   QRectF(r.left(), r.bottom() - 2, r.width(), 2),
                                   QRectF(r.left(), r.top(), 2, r.height()),
                                   QRectF(r.right() - 2, r.top(), 2, r.height())});
    }
    return lines;
}

// One line per control whose text does not fit, or that is drawn over a frame's line.
std::string Misfits(QWidget* window) {
    std::ostringstream out;
    const std::vector<QRectF> frameLines = FrameLines(window);
    for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isHidden()) {
            continue;
        }
        const std::optional<TextRoom> m = Measure(w);
        if (!m || m->text.isEmpty()) {
            continue;
        }
        if (qobject_cast<QLabel*>(w)) {
            // A label's text starts at its top left.
            const QRectF drawn(w->pos() + m->room.topLeft(), m->extent.size());
            for (const QRectF& line : frameLines) {
                if (drawn.intersects(line)) {
                    out << '"' << m->text.toStdString() << "\" is drawn over a frame\n";
                }
            }
        }
        // The text as the style centres or aligns it lies somewhere in its room; it fits when
        // its extent does, one pixel to spare on each side.
        const double width = m->extent.width() + 2;
        if (width > m->room.width() || m->extent.height() > m->room.height()) {
            out << '"' << m->text.toStdString() << "\" (" << w->objectName().toStdString()
                << ") needs " << width << " x " << m->extent.height() << ", has " << m->room.width()
                << " x " << m->room.height() << '\n';
        }
    }
    return out.str();
}

} // namespace

TEST_F(WindowTest, EveryTextFitsItsControlInTheWindowAndTheAboutBox) {
    // The gain edit at its widest likely value.
    SetText(IDC_GAIN, "-12.5");
    EXPECT_EQ(Misfits(Dlg().GetSafeHwnd()), "");

    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    EXPECT_EQ(Misfits(about.GetSafeHwnd()), "");
    about.DestroyWindow();
}
