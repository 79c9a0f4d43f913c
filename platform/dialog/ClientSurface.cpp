// The client-area image of a dialog window: the panes that show it where the program
// draws, the requests to show what changed, and what is known to change nothing.
#include "DialogWindow.h"

#include <QBackingStore>
#include <QGroupBox>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

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

QRect KnownFills::Stale(const QRect& area, QRgb colour) const {
    for (const Fill& fill : m_fills) {
        if (fill.area == area && fill.colour == colour) {
            return fill.stale;
        }
    }
    return area;
}

void KnownFills::Written(const QRect& area) {
    // Every drawing call ends here, and most write far from any known fill: the test for an
    // overlap comes first, in plain numbers.
    for (Fill& fill : m_fills) {
        const int left = std::max(area.left(), fill.area.left());
        const int top = std::max(area.top(), fill.area.top());
        const int right = std::min(area.right(), fill.area.right());
        const int bottom = std::min(area.bottom(), fill.area.bottom());
        if (left <= right && top <= bottom) {
            fill.stale |= QRect(QPoint(left, top), QPoint(right, bottom));
        }
    }
}

void KnownFills::Note(const QRect& area, QRgb colour) {
    for (Fill& fill : m_fills) {
        if (fill.area == area) {
            fill.colour = colour;
            fill.stale = QRect();
            return;
        }
    }
    // Fills that never repeat are not kept for ever.
    constexpr std::size_t kMostFills = 64;
    if (m_fills.size() >= kMostFills) {
        m_fills.clear();
    }
    m_fills.push_back(Fill{area, colour, QRect()});
}

QPainter& DialogWindow::SurfacePainter() {
    m_unchanged.Forget();
    m_fills.Forget();
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
    // What lies in the panes goes to the screen now where it can, or else each pane is
    // repainted; what lies outside them is repainted with the window. The lists are kept
    // from call to call, so that a tick does not allocate them again.
    std::vector<std::vector<QRect>>& inPanes = m_inPanes;
    inPanes.resize(m_panes.size());
    for (std::vector<QRect>& list : inPanes) {
        list.clear();
    }
    QRegion rest;
    // Areas come in runs from one pane (a spectrum's columns, a needle's lines): the pane
    // the last one lay in is asked first.
    std::size_t last = 0;
    const auto inside = [](const QRect& area, const QRect& pane) {
        return area.left() >= pane.left() && area.right() <= pane.right() &&
               area.top() >= pane.top() && area.bottom() <= pane.bottom();
    };
    for (const CRect& drawn : areas) {
        const QRect area(drawn.left, drawn.top, drawn.Width(), drawn.Height());
        if (last < m_panes.size() && inside(area, m_panes[last]->geometry())) {
            inPanes[last].push_back(area);
            continue;
        }
        bool inOnePane = false;
        for (std::size_t i = 0; i < m_panes.size() && !inOnePane; ++i) {
            const QRect covered = area.intersected(m_panes[i]->geometry());
            if (!covered.isEmpty()) {
                inPanes[i].push_back(covered);
                inOnePane = covered == area;
                last = i;
            }
        }
        if (!inOnePane) {
            QRegion outside(area);
            for (const QWidget* pane : m_panes) {
                outside -= pane->geometry();
            }
            rest += outside;
        }
    }
    if (!ShowInPanesNow(inPanes)) {
        // One repaint per pane, of everything drawn in it.
        for (std::size_t i = 0; i < m_panes.size(); ++i) {
            QRect bounds;
            for (const QRect& area : inPanes[i]) {
                bounds |= area;
            }
            if (!bounds.isEmpty()) {
                m_panes[i]->update(bounds.translated(-m_panes[i]->pos()));
            }
        }
    }
    if (!rest.isEmpty()) {
        update(rest);
    }
}

namespace {

// Sides of the squares by which what a tick drew in a pane is sent to the screen.
constexpr int kTile = 16;

} // namespace

// A pane's grid of tiles, and the part of each that is marked. A tile's mark can be narrowed
// to the columns that differ: a steep needle changes a few pixels of each row it crosses.
class PaneTiles {
  public:
    explicit PaneTiles(const QRect& pane)
        : m_pane(pane), m_columns((pane.width() + kTile - 1) / kTile),
          m_rows((pane.height() + kTile - 1) / kTile),
          m_marked(static_cast<std::size_t>(m_columns) * m_rows) {}

    const QRect& Pane() const { return m_pane; }

    void Clear() { std::fill(m_marked.begin(), m_marked.end(), Part{}); }

    // Marks the part of each tile an area inside the pane covers.
    void Mark(const QRect& area) {
        const QRect in = area.translated(-m_pane.topLeft());
        for (int row = in.top() / kTile; row <= in.bottom() / kTile; ++row) {
            const int top = std::max(in.top() - row * kTile, 0);
            const int bottom = std::min(in.bottom() + 1 - row * kTile, kTile);
            for (int column = in.left() / kTile; column <= in.right() / kTile; ++column) {
                m_marked[row * m_columns + column].Add(
                    std::max(in.left() - column * kTile, 0), top,
                    std::min(in.right() + 1 - column * kTile, kTile), bottom);
            }
        }
    }

    // Calls keep(part) for the marked part of each tile, in window coordinates; it returns the
    // columns of the part to keep marked, as offsets from its left edge (from == to for none).
    // A kept tile is marked over its whole height: the rows of a tile go to the screen as one.
    template <typename Keep> void Filter(Keep&& keep) {
        for (int row = 0; row < m_rows; ++row) {
            for (int column = 0; column < m_columns; ++column) {
                Part& marked = m_marked[row * m_columns + column];
                if (!marked.Empty()) {
                    const QPoint corner = Tile(column, column + 1, row).topLeft();
                    const auto [from, to] =
                        keep(QRect(corner.x() + marked.left, corner.y() + marked.top,
                                   marked.right - marked.left, marked.bottom - marked.top));
                    marked = from < to ? Part{static_cast<std::uint8_t>(marked.left + from), 0,
                                              static_cast<std::uint8_t>(marked.left + to), kTile}
                                       : Part{};
                }
            }
        }
    }

    // Adds the marked tiles to runs: rows top to bottom, runs left to right, apart and of one
    // height in a row, the order a region keeps its rectangles in. A run goes on to the next
    // marked tile across a gap no wider than a tile: each rectangle costs the showing a
    // request of its own, dearer than sending the gap's pixels, which are the screen's
    // already. A spectrum's columns, each changed over a few rows at its own height, are a
    // dozen such runs, where area by area they would be hundreds of rectangles.
    void AppendRuns(std::vector<QRect>& runs) const {
        for (int row = 0; row < m_rows; ++row) {
            for (int column = 0; column < m_columns;) {
                const Part first = m_marked[row * m_columns + column];
                if (first.Empty()) {
                    ++column;
                    continue;
                }
                const QRect start = Tile(column, column + 1, row);
                const int left = start.left() + first.left;
                int right = start.left() + first.right;
                for (++column; column < m_columns; ++column) {
                    const int edge = m_pane.left() + column * kTile;
                    const Part next = m_marked[row * m_columns + column];
                    if (next.Empty() || edge + next.left - right > kTile) {
                        break;
                    }
                    right = edge + next.right;
                }
                right = std::min(right, m_pane.right() + 1);
                runs.emplace_back(left, start.top(), right - left, start.height());
            }
        }
    }

  private:
    // Columns left..right-1 and rows top..bottom-1 of a tile, from its corner.
    struct Part {
        std::uint8_t left = 0, top = 0, right = 0, bottom = 0;

        bool Empty() const { return right <= left; }

        void Add(int l, int t, int r, int b) {
            if (Empty()) {
                *this = Part{static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(t),
                             static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(b)};
                return;
            }
            left = static_cast<std::uint8_t>(std::min<int>(left, l));
            top = static_cast<std::uint8_t>(std::min<int>(top, t));
            right = static_cast<std::uint8_t>(std::max<int>(right, r));
            bottom = static_cast<std::uint8_t>(std::max<int>(bottom, b));
        }
    };

    // Tiles first..last-1 of a row, cut to the pane.
    QRect Tile(int first, int last, int row) const {
        const int top = m_pane.top() + row * kTile;
        return QRect(m_pane.left() + first * kTile, top,
                     std::min(last * kTile, m_pane.width()) - first * kTile,
                     std::min(kTile, m_pane.bottom() + 1 - top));
    }

    QRect m_pane;
    int m_columns;
    int m_rows;
    std::vector<Part> m_marked;
};

namespace {

class SurfacePane final : public QWidget {
  public:
    SurfacePane(QWidget* parent, const QImage& surface) : QWidget(parent), m_surface(surface) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

    // The pane's tiles, kept from tick to tick; marks left from before are the caller's to
    // clear.
    PaneTiles& Tiles() {
        if (!m_tiles || m_tiles->Pane() != geometry()) {
            m_tiles.emplace(geometry());
        }
        return *m_tiles;
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
    std::optional<PaneTiles> m_tiles;
};

// Whether rectangles sorted by row are bands as a region keeps them: in a row, of one height
// and apart; each row below the one before.
bool Banded(const std::vector<QRect>& runs) {
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const QRect& before = runs[i - 1];
        const QRect& run = runs[i];
        const bool sameRow = run.top() == before.top() && run.height() == before.height() &&
                             run.left() > before.right() + 1;
        if (!sameRow && run.top() <= before.bottom()) {
            return false;
        }
    }
    return true;
}

} // namespace

// Panes hold only the image, opaque and under every other control, so what a tick drew in
// them can go straight into the window's backing store and on to the screen: the pixels a
// repaint of the panes would put there, without the repaint's posted event, its painters and
// its walk through the widgets. Where that cannot be done exactly (a ratio other than 1, a
// backing store not of the window's size yet, a control over a pane) the panes are repainted.
bool DialogWindow::ShowInPanesNow(const std::vector<std::vector<QRect>>& inPanes) {
    QWidget* top = window();
    QWindow* handle = top->windowHandle();
    QBackingStore* store = top->backingStore();
    if (!handle || !store || !handle->isExposed() || !isVisible() ||
        m_surface.devicePixelRatio() != 1.0) {
        return false;
    }
    std::vector<PaneTiles*>& touched = m_touchedTiles;
    touched.clear();
    QRect panes;
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        if (!inPanes[i].empty()) {
            PaneTiles& tiles = static_cast<SurfacePane*>(m_panes[i])->Tiles();
            tiles.Clear();
            for (const QRect& area : inPanes[i]) {
                tiles.Mark(area);
            }
            touched.push_back(&tiles);
            panes |= m_panes[i]->geometry();
        }
    }
    if (touched.empty()) {
        return true;
    }
    if (PanesCovered(inPanes)) {
        return false;
    }
    const QPoint offset = mapTo(top, QPoint(0, 0));
    QPaintDevice* device = store->paintDevice();
    QImage* image =
        device && device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
    // The image's pixels are opaque, so they read the same in either format.
    if (!image || image->devicePixelRatio() != 1.0 ||
        (image->format() != QImage::Format_RGB32 &&
         image->format() != QImage::Format_ARGB32_Premultiplied) ||
        !image->rect().contains(panes.translated(offset))) {
        return false;
    }
    // Rows of an area, on the screen's side (the backing store) and in the drawing.
    uchar* const shownBits = image->bits();
    const qsizetype shownStride = image->bytesPerLine();
    const uchar* const drawnBits = m_surface.constBits();
    const qsizetype drawnStride = m_surface.bytesPerLine();
    const auto rows = [&](const QRect& tile, auto&& visit) {
        const std::size_t bytes = static_cast<std::size_t>(tile.width()) * sizeof(QRgb);
        for (int y = tile.top(); y <= tile.bottom(); ++y) {
            const uchar* drawn =
                drawnBits + y * drawnStride + static_cast<qsizetype>(tile.left()) * sizeof(QRgb);
            uchar* shown = shownBits + (y + offset.y()) * shownStride +
                           static_cast<qsizetype>(tile.left() + offset.x()) * sizeof(QRgb);
            visit(shown, drawn, bytes);
        }
    };
    // The backing store holds what the screen shows. A tile whose pixels a tick changed and
    // then put back (a needle drawn under its cover plate, a column erased and drawn again at
    // its height), or that lies in the box around a slanted line without being on it, is the
    // same there already and is not sent; of one that differs, only the columns that differ
    // are. Only the part of a tile the drawing touched is read: the rest is as it was shown.
    // Only what is sent is painted: the store sends whatever was painted within the bounds of
    // the next flush.
    std::vector<QRect>& runs = m_changedRuns;
    runs.clear();
    for (PaneTiles* tiles : touched) {
        tiles->Filter([&](const QRect& part) {
            int from = part.width(), to = 0;
            rows(part, [&](const uchar* shown, const uchar* drawn, std::size_t bytes) {
                if (std::memcmp(shown, drawn, bytes) != 0) {
                    const auto* a = reinterpret_cast<const QRgb*>(shown);
                    const auto* b = reinterpret_cast<const QRgb*>(drawn);
                    int first = 0, last = part.width();
                    while (a[first] == b[first]) {
                        ++first;
                    }
                    while (a[last - 1] == b[last - 1]) {
                        --last;
                    }
                    from = std::min(from, first);
                    to = std::max(to, last);
                }
            });
            // Nothing differs: from is past to, which is 0.
            return std::pair{std::min(from, to), to};
        });
        tiles->AppendRuns(runs);
    }
    if (runs.empty()) {
        return true;
    }
    // Panes whose tops are level, a meter and the spectrum beside it, share their rows of
    // tiles, and panes one above the other share none: their runs, ordered by row, are a
    // region as they stand, with no union to work out. Those of panes side by side at other
    // heights are joined one by one.
    std::sort(runs.begin(), runs.end(), [](const QRect& a, const QRect& b) {
        return a.top() != b.top() ? a.top() < b.top() : a.left() < b.left();
    });
    QRegion changed;
    if (Banded(runs)) {
        changed.setRects(runs.data(), static_cast<int>(runs.size()));
    } else {
        for (const QRect& run : runs) {
            changed += run;
        }
    }
    const QRegion target = changed.translated(offset);
    store->beginPaint(target);
    for (const QRect& area : changed) {
        rows(area, [](uchar* shown, const uchar* drawn, std::size_t bytes) {
            std::memcpy(shown, drawn, bytes);
        });
    }
    store->endPaint();
    store->flush(target, handle);
    return true;
}

// Whether a visible control lies over part of one of the panes that hold something drawn (all
// but the frames lie above them). This is asked on every tick; the controls rarely move, so
// what lies over each pane is found again only after a control moved, was resized, shown,
// hidden, restacked, added or removed.
bool DialogWindow::PanesCovered(const std::vector<std::vector<QRect>>& inPanes) {
    if (m_paneCovered.size() != m_panes.size()) {
        m_paneCovered.assign(m_panes.size(), false);
        for (const QObject* child : children()) {
            const auto* widget =
                child->isWidgetType() ? static_cast<const QWidget*>(child) : nullptr;
            if (!widget || !widget->isVisible() ||
                std::find(m_panes.begin(), m_panes.end(), widget) != m_panes.end() ||
                qobject_cast<const QGroupBox*>(widget)) {
                continue;
            }
            for (std::size_t i = 0; i < m_panes.size(); ++i) {
                if (widget->geometry().intersects(m_panes[i]->geometry())) {
                    m_paneCovered[i] = true;
                }
            }
        }
    }
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        if (!inPanes[i].empty() && m_paneCovered[i]) {
            return true;
        }
    }
    return false;
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
        m_paneCovered.clear();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

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
    m_paneCovered.clear();
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
