// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/recent_logs.h"

#include <QDir>
#include <QFileInfo>

#include "platform/program_settings.h"

namespace velmora {

namespace {

const QString kLogsKey = QStringLiteral("recent/logs");
const QString kFolderKey = QStringLiteral("recent/folder");

}  // namespace

void RecentLogs::add(const QString& path) {
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    logs.removeAll(absolute);
    logs.prepend(absolute);
    while (logs.size() > kLimit) logs.removeLast();
    lastFolder = info.absolutePath();
}

QString RecentLogs::startFolder() const {
    return !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder : QDir::homePath();
}

RecentLogs loadRecentLogs() {
    const QSettings stored = programSettings();
    RecentLogs recent;
    // A hand-edited file may hold more, or the same log twice: adding them again tidies it.
    const QStringList kept = stored.value(kLogsKey).toStringList();
    for (auto it = kept.crbegin(); it != kept.crend(); ++it)
        if (!it->isEmpty()) recent.add(*it);
    recent.lastFolder = stored.value(kFolderKey).toString();
    return recent;
}

void saveRecentLogs(const RecentLogs& recent) {
    QSettings stored = programSettings();
    stored.setValue(kLogsKey, recent.logs);
    stored.setValue(kFolderKey, recent.lastFolder);
}

}  // namespace velmora
