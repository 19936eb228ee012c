#include "ui/qt/ScreenPlacement.h"

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

void MoveOnScreenOf(QWidget* window, const QWidget* anchor, QPoint topLeft) {
    if (!window) return;
    QSize frame = window->frameGeometry().size();
    if (frame == window->size() && anchor) // no frame yet: borrow the anchor's decoration
        frame += anchor->frameGeometry().size() - anchor->size();
    window->move(KeepOnArea(topLeft, frame, WorkAreaOf(anchor ? anchor : window)));
}

} // namespace tavo
