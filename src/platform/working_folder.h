// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace velmora {

// Where the desktop program keeps its working files output1, output2 and
// output1.extras (and their lock).
//
// A copy run from its build or from any other folder the user can write keeps them beside the
// executable. An installed copy (isInstalledFolder()) keeps them in the user's data folder,
// whoever runs it, root too, and so does one whose folder the user cannot write:
// $XDG_DATA_HOME/velmora, or ~/.local/share/velmora when XDG_DATA_HOME is unset or not an
// absolute path. The chosen data folder is created; if that
// fails the path is still returned, and the first load reports the folder as unusable.
QString workingFolder(const QString& programFolder);

// The choice itself, with the environment and the writability check passed in.
QString chooseWorkingFolder(const QString& programFolder, const QString& xdgDataHome,
                            const QString& home,
                            const std::function<bool(const QString&)>& writable);

// Whether `programFolder` is the folder the programs are installed in, <prefix>/lib/velmora:
// under any prefix, and also below a staging root or an unpacked package.
bool isInstalledFolder(const QString& programFolder);

// Whether `folder` is an existing folder this user may create files in.
bool isWritableFolder(const QString& folder);

}  // namespace velmora
