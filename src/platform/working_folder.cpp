// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/working_folder.h"

#include <QDir>
#include <QFileInfo>

namespace velmora {

bool isWritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

bool isInstalledFolder(const QString& programFolder) {
    const QString folder = QDir::cleanPath(QDir(programFolder).absolutePath());
    return folder.endsWith(QStringLiteral("/" VELMORA_INSTALL_APPDIR));
}

QString chooseWorkingFolder(const QString& programFolder, const QString& xdgDataHome,
                            const QString& home,
                            const std::function<bool(const QString&)>& writable) {
    if (!isInstalledFolder(programFolder) && writable(programFolder)) return programFolder;
    // The base directory rules ignore a relative XDG_DATA_HOME.
    const QString dataHome = QDir::isAbsolutePath(xdgDataHome)
                                 ? xdgDataHome
                                 : QDir(home).filePath(QStringLiteral(".local/share"));
    const QString folder = QDir::cleanPath(QDir(dataHome).filePath(QStringLiteral("velmora")));
    QDir().mkpath(folder);
    return folder;
}

QString workingFolder(const QString& programFolder) {
    return chooseWorkingFolder(programFolder, qEnvironmentVariable("XDG_DATA_HOME"),
                               QDir::homePath(), isWritableFolder);
}

}  // namespace velmora
