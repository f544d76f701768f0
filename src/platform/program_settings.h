// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>

namespace velmora {

// The settings the program keeps between runs (export choices, recent logs, window places, the
// tile address): one INI file in the user's configuration folder, "Velmora/velmora.ini".
// Tests point QSettings' user path at a folder of their own.
QSettings programSettings();

// The settings file programSettings() reads, found without reading it.
QString settingsFile();

// Called once at start, before anything reads the settings: looks at the settings file without
// waiting on it, and when something other than a regular file holds its name (a FIFO, which Qt
// would wait on for good, or a folder), keeps this run's settings in a private folder that goes
// with the program, and returns the file and the reason ("...: Not a regular file"). Empty
// when the file is readable or does not exist yet.
QString useReadableSettings();

}  // namespace velmora
