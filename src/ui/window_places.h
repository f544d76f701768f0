// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// Opens `window` (a top-level window of the main window, `owner`) where it was last, as
// QSettings keeps it under the window's object name, when that place is still on a screen
// (with its size too when `withSize`); otherwise where placeBeside() puts it on the main
// window's screen.
void placeWindow(QWidget* window, const QWidget& owner, int cascade, bool withSize);
// Keeps `window`'s place and size for placeWindow(), under its object name.
void rememberPlace(const QWidget* window);

}  // namespace velmora
