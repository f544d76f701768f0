// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <filesystem>

namespace velmora {

// File names are the file system's: shown in its encoding, and back. A path as the file
// system names it:
std::filesystem::path corePath(const QString& path);
// and a path as the windows show it.
QString shownPath(const std::filesystem::path& path);

}  // namespace velmora
