// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>

namespace velmora {

// The settings the program keeps between runs (export choices, recent logs, window places, the
// tile address): one INI file in the user's configuration folder, "Velmora/velmora.ini".
// Tests point QSettings' user path at a folder of their own.
QSettings programSettings();

}  // namespace velmora
