#pragma once

// Inside the dialog layer: the Qt window of a CDialog. It owns the controls made from the
// template, the client-area image, the timers and the system menu, and turns Qt events
// into messages for the dialog's command map.

#include "AfxTypes.h"
#include "Wnd.h"

#include <QDialog>
#include <QImage>
#include <QPointer>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CDialog;
class QPainter;
class QTimer;
struct DialogTemplate;

// The drawing calls found to change no pixel since the surface last changed. A window at
// rest makes the same calls tick after tick; once each has been found to change nothing,
// it is recognised in its turn without looking at the pixels again.
class UnchangedDrawing {
  public:
    struct Call {
        int kind;
        int width;
        int x1, y1, x2, y2;
        QRgb colour;
        bool operator==(const Call&) const = default;
    };
    bool Known(const Call& call);
    void Unchanged(const Call& call);
    // Any pixel written: nothing recorded holds any more.
    void Forget() {
        m_calls.clear();
        m_next = 0;
    }

  private:
    std::vector<Call> m_calls;
    std::size_t m_next = 0;
};

// Rectangles that fills last covered in one colour, each with the box of its pixels written
// since by anything else. A meter's cover plate, filled again every tick over the needle that
// passed beneath it, is then filled again only where the needle went. Device pixels.
class KnownFills {
  public:
    // The part of a fill of area in colour that may not hold colour yet: all of it, unless
    // the same fill was noted.
    QRect Stale(const QRect& area, QRgb colour) const;
    // Pixels in area were written: each known fill they overlap counts them stale.
    void Written(const QRect& area);
    // All of area now holds colour.
    void Note(const QRect& area, QRgb colour);
    void Forget() { m_fills.clear(); }

  private:
    struct Fill {
        QRect area;
        QRgb colour;
        QRect stale;
    };
    std::vector<Fill> m_fills;
};

class PaneTiles;

class DialogWindow final : public QDialog {
  public:
    DialogWindow(CDialog& owner, const DialogTemplate& dialogTemplate, QWidget* parent);
    ~DialogWindow() override;

    CDialog& Owner() const { return m_owner; }
    QWidget* Control(int id) const;
    // The identifier of one of the controls, or 0.
    int ControlId(const QWidget* control) const;
    const std::vector<QWidget*>& ControlsInOrder() const { return m_controlOrder; }
    // The first visible, enabled control that takes the focus with Tab.
    QWidget* FirstTabStop() const;

    // The client-area pixels and the painting of them. The image is at the window's device
    // pixel ratio; Gdi maps the logical pixels it is given onto it.
    QImage& Surface() { return m_surface; }
    // Asks for areas of the image to be shown again. Within WM_PAINT everything is about
    // to be shown anyway: the areas drawn there are noted instead, as where the program
    // draws, and get panes of their own.
    void ShowAreas(const std::vector<CRect>& areas);
    // The list a drawing surface notes its areas in, kept from one surface to the next, so
    // that a tick's drawing does not allocate and grow it again; a surface made while another
    // is open starts an empty one.
    std::vector<CRect> TakeAreaList() {
        std::vector<CRect> list;
        list.swap(m_areaList);
        list.clear();
        return list;
    }
    void KeepAreaList(std::vector<CRect>&& list) {
        if (list.capacity() > m_areaList.capacity()) {
            m_areaList = std::move(list);
        }
    }
    bool Painting() const { return m_inPaint; }
    // A painter on the image for what the drawing surface leaves to Qt (wide pens, icons),
    // begun on first use and kept until EndSurfacePainter, so that the few such shapes of a
    // tick share one.
    QPainter& SurfacePainter();
    void EndSurfacePainter();
    // The image for writing its pixels directly. One shared with a copy is made its own
    // on the write, away from under a painter that would go on drawing into the copy.
    QImage& WritableSurface();
    UnchangedDrawing& Unchanged() { return m_unchanged; }
    KnownFills& Fills() { return m_fills; }
    void EraseSurface();
    void InvalidateAll();
    void FlushPaint();

    UINT_PTR StartTimer(UINT_PTR id, UINT ms);
    bool StopTimer(UINT_PTR id);
    void StopAllTimers();

    CMenu* SystemMenu() { return m_hasSystemMenu ? &m_systemMenu : nullptr; }
    void PopUpSystemMenu(const QPoint& globalPos);

    // Focus to a control that failed validation, its whole text selected when it is an
    // edit. Until the window is active the focus is only remembered, and an edit drops a
    // selection it holds without the focus, so both are applied again when the window is
    // next activated, however late that comes after the message box.
    void FocusFailedControl(QWidget* control, bool selectText);

    void SetIcons(HICON big, HICON small);
    HICON BigIcon() const { return m_bigIcon; }
    HICON SmallIcon() const { return m_smallIcon; }

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void reject() override;

  private:
    void CreateControls(const DialogTemplate& dialogTemplate);
    void CreateSurface();
    void Command(int id, UINT code);
    void PressDefaultButton();
    void DispatchPaint();
    void ApplyFailedControlFocus();
    void ReportLostFocus(QWidget* old, QWidget* now);
    void ArrangePanes();
    bool ShowInPanesNow(const std::vector<std::vector<QRect>>& inPanes);
    bool PanesCovered(const std::vector<std::vector<QRect>>& inPanes);

    CDialog& m_owner;
    // By identifier, in one block: every tick looks controls up.
    std::vector<std::pair<int, QWidget*>> m_controls;
    static bool IdBelow(const std::pair<int, QWidget*>& control, int id) {
        return control.first < id;
    }
    std::vector<QWidget*> m_controlOrder;
    int m_defaultButtonId = 0;
    QImage m_surface;
    UnchangedDrawing m_unchanged;
    KnownFills m_fills;
    std::unique_ptr<QPainter> m_surfacePainter;
    bool m_paintPending = false;
    bool m_inPaint = false;
    // Opaque children that show the image where the program draws, above the group boxes
    // and below every other control: a change there repaints the pane alone, not the
    // window and the frames beneath. Arranged after each WM_PAINT from the areas it drew.
    std::vector<QWidget*> m_panes;
    // For each pane, whether a control lies over it; empty until it is found out again.
    std::vector<bool> m_paneCovered;
    // For each pane, the areas of a request to show that lie in it.
    std::vector<std::vector<QRect>> m_inPanes;
    // The tiles of the panes that a request to show touched, and the runs of them it changed.
    std::vector<PaneTiles*> m_touchedTiles;
    std::vector<QRect> m_changedRuns;
    std::vector<CRect> m_areaList;
    std::vector<CRect> m_paintedAreas;
    std::vector<CRect> m_paneAreas;
    std::map<UINT_PTR, QTimer*> m_timers;
    bool m_hasSystemMenu = false;
    bool m_hasMinimizeBox = false;
    CMenu m_systemMenu;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    QPointer<QWidget> m_failedControl;
    bool m_selectFailedText = false;
};

// Adds an area to a list of separate ones, merged with those it overlaps or adjoins.
void MergeArea(std::vector<CRect>& areas, CRect area);

// The window of the most recent live dialog, which owns message boxes that name no owner.
DialogWindow* FrontDialogWindow();
// A modal message box with its own event loop and one OK button; returns IDOK.
int ShowMessageBox(DialogWindow* owner, const std::string& text, const std::string& caption,
                   UINT type);
