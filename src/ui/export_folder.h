// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

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

}  // namespace velmora
