// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>

namespace velmora {

class FileDialog;

// Shows a save dialog in the folder `folder` names (exportFolder(), where the main window's
// exports go too, unless a window is given another), offering the name the dialog holds.
// Returns whether the user confirmed a file. A folder that is gone lets the dialog start where
// it can; the export then reports it.
bool showExportSaveDialog(QWidget* parent, FileDialog& dialog,
                          const std::function<std::filesystem::path()>& folder);

}  // namespace velmora
