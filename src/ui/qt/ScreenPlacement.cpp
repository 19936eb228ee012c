#include "ui/qt/ScreenPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/Placement.h"

namespace tavo {

QRect WorkAreaOf(const QWidget* anchor) {
    QScreen* screen = nullptr;
    if (anchor) {
        screen = QGuiApplication::screenAt(anchor->frameGeometry().center());
        if (!screen) screen = anchor->screen();
    }
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QPoint KeepOnArea(QPoint topLeft, QSize frameSize, const QRect& area) {
    if (area.isEmpty()) return topLeft;
    const ScreenRect placed =
        KeepInside({topLeft.x(), topLeft.y(), frameSize.width(), frameSize.height()},
                   {area.x(), area.y(), area.width(), area.height()});
    return {placed.left, placed.top};
}

namespace {

// The frame `window` has, or will have when shown (the anchor's decoration borrowed).
QSize FrameSizeOf(const QWidget* window, const QWidget* anchor) {
    QSize frame = window->frameGeometry().size();
    if (frame == window->size() && anchor) // no frame yet: borrow the anchor's decoration
        frame += anchor->frameGeometry().size() - anchor->size();
    return frame;
}

ScreenRect Rect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace

void MoveOnScreenOf(QWidget* window, const QWidget* anchor, QPoint topLeft) {
    if (!window) return;
    window->move(
        KeepOnArea(topLeft, FrameSizeOf(window, anchor), WorkAreaOf(anchor ? anchor : window)));
}

void PlaceBesideOnScreen(QWidget* window, const QWidget* anchor, int gap) {
    if (!window || !anchor) return;
    const QRect area = WorkAreaOf(anchor);
    if (area.isEmpty()) return;
    std::vector<ScreenRect> avoid;
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != window && other != anchor && other->isVisible() &&
            !(other->windowType() == Qt::Popup || other->windowType() == Qt::ToolTip))
            avoid.push_back(Rect(other->frameGeometry()));
    const QSize frame = FrameSizeOf(window, anchor);
    const ScreenRect placed = PlaceBeside(Rect(anchor->frameGeometry()), frame.width(),
                                          frame.height(), Rect(area), avoid, gap);
    window->move(placed.left, placed.top);
}

void FitBesideOnScreen(QWidget* window, const QWidget* anchor, int gap, int least) {
    if (!window || !anchor) return;
    const QRect area = WorkAreaOf(anchor);
    if (!area.isEmpty()) {
        const QSize frame = FrameSizeOf(window, anchor) - window->size();
        const int outer = WidthBeside(Rect(anchor->frameGeometry()), Rect(area), gap,
                                      window->width() + frame.width(), least);
        if (outer - frame.width() < window->width())
            window->resize(outer - frame.width(), window->height());
    }
    PlaceBesideOnScreen(window, anchor, gap);
}

} // namespace tavo
