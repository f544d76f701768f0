// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <filesystem>
#include <optional>

class QWidget;

namespace velmora {

class FileDialog;

// The folder every export writes into: the current working folder, which the open dialog made
// the loaded log's folder and each confirmed save dialog the folder of its file. Throws
// std::filesystem::filesystem_error when that folder is gone.
std::filesystem::path exportFolder();

// Where an export chosen in a save dialog goes: the dialog made the chosen folder current,
// and only the chosen file name is taken from it, so it cannot point into another folder.
// Throws FileError when the dialog returned no usable file name.
std::filesystem::path chosenExportPath(const FileDialog& dialog);

// File > Export Folder...: asks for the folder the exports go to, starting in the current one,
// and makes the chosen one current. Returns the status bar's text: where the exports go now,
// or why not; nothing when the user cancelled.
QString chooseExportFolder(QWidget* parent);
// Test seam: the next chooseExportFolder() takes this answer (nothing: cancelled) instead of
// showing a dialog.
void scriptExportFolder(std::optional<QString> folder);

// Where the exports go: "Exports go to <folder>", or that the folder is gone.
QString exportFolderText();
// What a failed main export adds to its status text: the folder exports go to, and where to
// choose another.
QString exportFolderHint();

}  // namespace velmora
