// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include "export/export_format.h"
#include "platform/file_dialog.h"

namespace velmora {

// What the File menu's "Export Format" and "One Pin Per Access Point" hold: how Convert All and
// the quick sorts write, and the format an Advanced window's save dialog starts on.
struct ExportChoices {
    ExportFormat format = ExportFormat::StreetsAndTrips;
    bool perAccessPoint = false;
    ApPosition apPosition = ApPosition::Strongest;
};

// The choices as the user left them in an earlier run (the user's settings file, in the
// IniFormat user scope); the defaults where none are kept or they cannot be read.
ExportChoices loadExportChoices();
void saveExportChoices(const ExportChoices& choices);

// The five formats as a save dialog's file types, in ExportFormat's order: the index of a
// filter is its format. A name switched to Streets and Trips takes ".txt".
QList<FileDialog::Filter> exportFormatFilters();

}  // namespace velmora
