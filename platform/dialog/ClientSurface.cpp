// The client-area image of a dialog window: the panes that show it where the program
// draws, the requests to show what changed, and what is known to change nothing.
#include "DialogWindow.h"

#include <QGroupBox>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

bool UnchangedDrawing::Known(const Call& call) {
    // The calls come in the order they came in before; a match on the first one starts the
    // next round.
    if (m_next < m_calls.size() && m_calls[m_next] == call) {
        ++m_next;
        return true;
    }
    if (!m_calls.empty() && m_calls.front() == call) {
        m_next = 1;
        return true;
    }
    return false;
}

void UnchangedDrawing::Unchanged(const Call& call) {
    // Calls that never repeat are not kept for ever.
    constexpr std::size_t kMostCalls = 4096;
    if (m_calls.size() >= kMostCalls) {
        m_calls.clear();
    }
    m_calls.push_back(call);
    m_next = m_calls.size();
}

namespace {

// Takes rows top..bottom-1 out of the runs.
void Subtract(std::vector<KnownColumns::Run>& runs, int top, int bottom) {
    for (auto it = runs.begin(); it != runs.end();) {
        if (it->bottom <= top || it->top >= bottom) {
            ++it;
        } else if (it->top < top && it->bottom > bottom) {
            const KnownColumns::Run below{bottom, it->bottom, it->colour};
            it->bottom = top;
            runs.insert(it + 1, below);
            return;
        } else if (it->top < top) {
            it->bottom = top;
            ++it;
        } else if (it->bottom > bottom) {
            it->top = bottom;
            ++it;
        } else {
            it = runs.erase(it);
        }
    }
}

} // namespace

const std::vector<KnownColumns::Run>& KnownColumns::Runs(int x) const {
    static const std::vector<Run> none;
    return x >= 0 && static_cast<std::size_t>(x) < m_columns.size() ? m_columns[x] : none;
}

void KnownColumns::Note(int x, int top, int bottom, QRgb colour) {
    if (x < 0 || top >= bottom) {
        return;
    }
    if (static_cast<std::size_t>(x) >= m_columns.size()) {
        m_columns.resize(x + 1);
    }
    std::vector<Run>& runs = m_columns[x];
    Subtract(runs, top, bottom);
    auto at = std::find_if(runs.begin(), runs.end(), [&](const Run& r) { return r.top >= bottom; });
    // Neighbours of the same colour join, so that a column stays a handful of runs.
    if (at != runs.end() && at->top == bottom && at->colour == colour) {
        bottom = at->bottom;
        at = runs.erase(at);
    }
    if (at != runs.begin() && (at - 1)->bottom == top && (at - 1)->colour == colour) {
        (at - 1)->bottom = bottom;
        return;
    }
    runs.insert(at, Run{top, bottom, colour});
}

void KnownColumns::Drop(int left, int top, int right, int bottom) {
    right = std::min(right, static_cast<int>(m_columns.size()));
    for (int x = std::max(left, 0); x < right; ++x) {
        if (!m_columns[x].empty()) {
            Subtract(m_columns[x], top, bottom);
        }
    }
}

QPainter& DialogWindow::SurfacePainter() {
    m_unchanged.Forget();
    m_known.Forget();
    if (!m_surfacePainter) {
        m_surfacePainter = std::make_unique<QPainter>(&m_surface);
    }
    return *m_surfacePainter;
}

void DialogWindow::EndSurfacePainter() {
    m_surfacePainter.reset();
}

QImage& DialogWindow::WritableSurface() {
    if (m_surfacePainter && !m_surface.isDetached()) {
        EndSurfacePainter();
    }
    return m_surface;
}

void DialogWindow::ShowAreas(const std::vector<CRect>& areas) {
    if (m_inPaint) {
        for (const CRect& area : areas) {
            MergeArea(m_paintedAreas, area);
        }
        return;
    }
    // One request per pane, for everything drawn in it, and one for what lies outside them.
    std::vector<QRect> inPanes(m_panes.size());
    QRegion rest;
    for (const CRect& drawn : areas) {
        const QRect area(drawn.left, drawn.top, drawn.Width(), drawn.Height());
        QRegion outside(area);
        for (std::size_t i = 0; i < m_panes.size(); ++i) {
            const QRect covered = area.intersected(m_panes[i]->geometry());
            if (covered.isEmpty()) {
                continue;
            }
            inPanes[i] |= covered;
            outside -= covered;
        }
        rest += outside;
    }
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        if (!inPanes[i].isEmpty()) {
            m_panes[i]->update(inPanes[i].translated(-m_panes[i]->pos()));
        }
    }
    if (!rest.isEmpty()) {
        update(rest);
    }
}

namespace {

class SurfacePane final : public QWidget {
  public:
    SurfacePane(QWidget* parent, const QImage& surface) : QWidget(parent), m_surface(surface) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        const qreal ratio = m_surface.devicePixelRatio();
        for (const QRect& area : event->region()) {
            const QRectF source(QPointF(area.topLeft() + pos()) * ratio,
                                QSizeF(area.size()) * ratio);
            painter.drawImage(QRectF(area), m_surface, source);
        }
    }

  private:
    const QImage& m_surface;
};

} // namespace

void DialogWindow::ArrangePanes() {
    std::vector<QWidget*> frames;
    for (QObject* child : children()) {
        if (auto* frame = qobject_cast<QGroupBox*>(child)) {
            frames.push_back(frame);
        }
    }
    // A pane would hide a frame's lines: only an area clear of them gets one.
    const auto clearOfFrames = [&frames](const QRect& area) {
        return std::all_of(frames.begin(), frames.end(), [&area](const QWidget* frame) {
            const QRect inside = frame->contentsRect().translated(frame->pos());
            return !area.intersects(frame->geometry()) || inside.contains(area);
        });
    };
    std::vector<QRect> areas;
    for (const CRect& drawn : m_paneAreas) {
        const QRect area =
            QRect(drawn.left, drawn.top, drawn.Width(), drawn.Height()).intersected(rect());
        if (!area.isEmpty() && clearOfFrames(area)) {
            areas.push_back(area);
        }
    }
    const bool same =
        std::equal(areas.begin(), areas.end(), m_panes.begin(), m_panes.end(),
                   [](const QRect& a, const QWidget* p) { return a == p->geometry(); });
    if (same) {
        return;
    }
    for (QWidget* pane : m_panes) {
        delete pane;
    }
    m_panes.clear();
    for (const QRect& area : areas) {
        auto* pane = new SurfacePane(this, m_surface);
        pane->setGeometry(area);
        pane->lower();
        pane->show();
        m_panes.push_back(pane);
    }
    // The frames go back beneath the panes, in their own order.
    for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
        (*it)->lower();
    }
}
