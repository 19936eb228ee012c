#pragma once
// Keeps the windows the program places (pop-ups, positioned message boxes) on the screen that
// holds the window they belong to.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace tavo {

// The work area (screen less panels and docks) of the screen that holds `anchor`'s centre; the
// primary screen's when `anchor` is null or on none.
QRect WorkAreaOf(const QWidget* anchor);

// Where a window whose frame is `frameSize` goes when asked for `topLeft`: there when it fits
// `area`, otherwise moved just enough.
QPoint KeepOnArea(QPoint topLeft, QSize frameSize, const QRect& area);

// Moves top-level `window` to `topLeft` (its frame's corner), kept on `anchor`'s screen. A window
// not shown yet has no frame of its own: it is taken to get one like `anchor`'s.
void MoveOnScreenOf(QWidget* window, const QWidget* anchor, QPoint topLeft);

// Moves top-level `window` beside `anchor` (a window of the program), on `anchor`'s screen: the
// first side of right, left, below, above where it covers neither `anchor` nor any other window
// of the program that is shown; else the side that covers the least.
void PlaceBesideOnScreen(QWidget* window, const QWidget* anchor, int gap);

// As PlaceBesideOnScreen, but a window wider than the free strip beside `anchor` is first
// narrowed to it (never below `least` pixels of frame), so that it covers none of `anchor`;
// its content scrolls or its splitter gives way.
void FitBesideOnScreen(QWidget* window, const QWidget* anchor, int gap, int least);

} // namespace tavo
