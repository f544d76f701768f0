// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace velmora {

// Where a window opens whose frame is `size`, the `cascade`-th (from 0) of the windows that
// open beside the main window, whose frame is `owner`, within the screen's `available` area:
// to the right of the main window, else to its left, else below it, else above it, so that it
// does not cover the main window's counts; shifted down by `cascade` steps so that windows
// opened together stay apart. Where there is no room beside, it goes where it covers the least,
// always inside `available` as far as its size allows. Returns the frame's top left corner.
QPoint placeBeside(const QRect& owner, const QSize& size, int cascade, const QRect& available);
// As above, but also clear of the frames `others` (windows open beside the main window) where
// there is room; a resizable window (`size` is updated) shrinks toward `minimum` to find it.
// Where there is none, the main window is covered least, then the others.
QPoint placeBeside(const QRect& owner, const QList<QRect>& others, QSize& size,
                   const QSize& minimum, const QRect& available);

// Opens `window` (a top-level window of the main window, `owner`) where it was last, as
// QSettings keeps it under the window's object name, when that place is still on a screen that
// has the size and scale factor it had then (with its size too when `withSize`); otherwise where
// placeBeside() puts it on the main window's screen: a resizable window (`withSize`) or one given
// `others` clear of them as well, the former shrunk to fit where it must.
void placeWindow(QWidget* window, const QWidget& owner, int cascade, bool withSize,
                 const QList<QRect>& others = {});
// Keeps `window`'s place and size for placeWindow(), under its object name.
void rememberPlace(const QWidget* window);

}  // namespace velmora
