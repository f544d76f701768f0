// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/beep.h"

#include <QApplication>

namespace velmora {

namespace {
bool silent = false;
int beeps = 0;
}  // namespace

void Beep::beep() {
    ++beeps;
    if (!silent) QApplication::beep();
}

void Beep::setSilent(bool on) {
    silent = on;
}
int Beep::count() {
    return beeps;
}
void Beep::resetCount() {
    beeps = 0;
}

}  // namespace velmora
