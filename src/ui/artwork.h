// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace velmora {

// The intro banner of the main window: 325 x 99 pixels with the program's name.
QPixmap bannerPixmap();

// The window icon, drawn at 32 x 32 and 16 x 16.
QIcon applicationIcon();

// The icon drawn at `size` x `size` pixels, for the desktop's icon theme.
QPixmap applicationIconPixmap(int size);

}  // namespace velmora
