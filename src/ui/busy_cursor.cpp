// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/busy_cursor.h"

#include <QApplication>

namespace velmora {

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace velmora
