// The window at a device pixel ratio of 2 against the same window at 1: pictured by
// window_render in two processes (the ratio is fixed when Qt starts), the ratio-2 picture
// brought down to the other's size and compared region by region.
#include "WindowFixture.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSet>
#include <QTemporaryDir>

#include <cstdlib>

using namespace corvaline::testsupport;

namespace {

QImage Render(const QTemporaryDir& dir, const QString& ratio) {
    const QString file = dir.filePath(QStringLiteral("window-%1.png").arg(ratio));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), ratio);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(WINDOW_RENDER_TOOL), {file});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        return {};
    }
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

// Each 2 x 2 block of device pixels averaged into one.
QImage HalfSize(const QImage& image) {
    QImage half(image.width() / 2, image.height() / 2, QImage::Format_RGB32);
    for (int y = 0; y < half.height(); ++y) {
        for (int x = 0; x < half.width(); ++x) {
            int r = 0, g = 0, b = 0;
            for (const QRgb c :
                 {image.pixel(2 * x, 2 * y), image.pixel(2 * x + 1, 2 * y),
                  image.pixel(2 * x, 2 * y + 1), image.pixel(2 * x + 1, 2 * y + 1)}) {
                r += qRed(c);
                g += qGreen(c);
                b += qBlue(c);
            }
            half.setPixel(x, y, qRgb((r + 2) / 4, (g + 2) / 4, (b + 2) / 4));
        }
    }
    return half;
}

struct Difference {
    double mean = 0;    // per channel, 0..255
    double unequal = 0; // share of pixels that differ by more than a rounding
};

Difference Compare(const QImage& a, const QImage& b, const QRect& area) {
    long total = 0, unequal = 0, pixels = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                          std::abs(qBlue(p) - qBlue(q));
            total += d;
            unequal += d > 3;
            ++pixels;
        }
    }
    return {static_cast<double>(total) / (3.0 * pixels), static_cast<double>(unequal) / pixels};
}

// Panels as the window places them.
const QRect kPanels[] = {{CCorvalineDlg::kPanelLeft, CCorvalineDlg::kPanel1Top,
                          CSpectrumPanel::kWidth, CSpectrumPanel::kBoxHeight},
                         {CCorvalineDlg::kPanelLeft, CCorvalineDlg::kPanel2Top,
                          CSpectrumPanel::kWidth, CSpectrumPanel::kBoxHeight}};

} // namespace

TEST(HighDpi, AtRatioTwoControlsFramesAndPanelsScaleTogetherSharpAndAligned) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage one = Render(dir, QStringLiteral("1"));
    const QImage two = Render(dir, QStringLiteral("2"));
    ASSERT_FALSE(one.isNull());
    ASSERT_FALSE(two.isNull());
    ASSERT_EQ(one.size(), QSize(806, 531));
    ASSERT_EQ(two.size(), one.size() * 2);
    const QImage half = HalfSize(two);

    // The panels: drawn at device resolution in the colours they are drawn in, with no
    // blend of neighbours that a smoothly scaled picture would show, and where they stand
    // at ratio 1 to the pixel.
    for (const QRect& panel : kPanels) {
        QSet<QRgb> colours;
        for (int y = panel.top(); y <= panel.bottom(); ++y) {
            for (int x = panel.left(); x <= panel.right(); ++x) {
                colours.insert(one.pixel(x, y));
            }
        }
        long foreign = 0;
        const QRect device(panel.topLeft() * 2, panel.size() * 2);
        for (int y = device.top(); y <= device.bottom(); ++y) {
            for (int x = device.left(); x <= device.right(); ++x) {
                foreign += !colours.contains(two.pixel(x, y));
            }
        }
        EXPECT_EQ(foreign, 0) << "blended colours in the panel at " << panel.y();
        // The needle is drawn in device pixels, finer than a picture made at ratio 1 and
        // enlarged, whose every 2 x 2 block would be of one colour.
        long finer = 0;
        for (int y = device.top(); y < device.bottom(); y += 2) {
            for (int x = device.left(); x < device.right(); x += 2) {
                const QRgb c = two.pixel(x, y);
                finer += two.pixel(x + 1, y) != c || two.pixel(x, y + 1) != c ||
                         two.pixel(x + 1, y + 1) != c;
            }
        }
        EXPECT_GT(finer, 20) << "panel at " << panel.y();

        const Difference d = Compare(one, half, panel);
        EXPECT_LT(d.unequal, 0.01) << "panel at " << panel.y();
        EXPECT_LT(d.mean, 1.0) << "panel at " << panel.y();
        // A picture one pixel off would match worse.
        for (const QPoint shift : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
            QImage moved = half.copy(QRect(shift, half.size()));
            EXPECT_GT(Compare(one, moved, panel).unequal, 5 * d.unequal + 0.01)
                << "panel at " << panel.y() << " shifted by " << shift.x() << ", " << shift.y();
        }
    }

    // Frames and controls: where there is no text, the same to a fraction of a level; a
    // text is laid out anew at each ratio and may sit a device pixel apart, no more.
    struct Region {
        const char* what;
        QRect area;
        bool text;
    };
    const Region regions[] = {
        {"upper panel frame with its slider", {8, 211, 465, 122}, false},
        {"lower panel frame", {8, 341, 465, 122}, false},
        {"deck 1 progress bar", {195, 49, 270, 23}, false},
        {"deck 1 pan slider", {195, 81, 270, 16}, false},
        {"sequence list", {480, 73, 315, 414}, false},
        {"deck 1 frame with its buttons", {8, 33, 465, 89}, true},
        {"path edit", {15, 8, 308, 23}, true},
        {"CrossFade", {398, 8, 68, 23}, true},
        {"Compressor", {143, 488, 80, 20}, true},
        {"sequence frame", {480, 0, 315, 65}, true},
        {"whole window", {0, 0, 806, 531}, true},
    };
    for (const Region& r : regions) {
        EXPECT_LT(Compare(one, half, r.area).mean, r.text ? 12.0 : 1.0) << r.what;
    }
}
