// Renders the real main window to a PNG at the device pixel ratio Qt runs at
// (QT_SCALE_FACTOR), with the same content in its panels on every run, so that pictures
// taken at different ratios can be compared region by region.
// Usage: window_render OUT.png
#include "CorvalineApp.h"
#include "CorvalineDlg.h"
#include "fsound.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <cstdio>

CCorvalineApp theApp;

namespace {

// Columns of uneven heights, the needle away from its rest, one lamp lit: edges of each kind
// the panels draw.
void DrawPanels(CCorvalineDlg& dlg) {
    std::array<float, 512> spectrum{};
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        spectrum[i] = static_cast<float>(i / 2 * 37 % 99) / 100.0f;
    }
    CClientDC dc(&dlg);
    int needle = 80;
    for (CSpectrumPanel* panel : {&dlg.m_panel1, &dlg.m_panel2}) {
        panel->SetDC(&dc);
        panel->DrawNeedle(needle);
        panel->DrawSpectrum(spectrum.data());
        panel->SetDC(nullptr);
        needle = 25;
    }
    dlg.m_panel1.SetDC(&dc);
    dlg.m_panel1.UpdateLamp(1);
    dlg.m_panel1.SetDC(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL);
    int result = 1;
    {
        CCorvalineDlg dlg;
        if (dlg.Create()) {
            // Ticks would move the needles between runs.
            dlg.KillTimer(101);
            QApplication::processEvents();
            DrawPanels(dlg);
            QApplication::processEvents();
            if (dlg.GetSafeHwnd()->grab().save(QString::fromLocal8Bit(argv[1]))) {
                result = 0;
            }
            dlg.DestroyWindow();
        }
    }
    return result;
}
