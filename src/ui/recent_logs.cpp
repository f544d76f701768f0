// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/recent_logs.h"

#include <QDir>
#include <QFileInfo>

#include "platform/program_settings.h"

namespace velmora {

namespace {

const QString kLogsKey = QStringLiteral("recent/logs");
const QString kFolderKey = QStringLiteral("recent/folder");

// Puts `entry` first in `logs` instead of `earlier` (entries that name the same), keeping the
// limit.
void putFirst(QStringList& logs, const QString& entry, const QStringList& earlier) {
    for (const QString& same : earlier) logs.removeAll(same);
    logs.prepend(entry);
    while (logs.size() > RecentLogs::kLimit) logs.removeLast();
}

}  // namespace

void RecentLogs::add(const QString& path) {
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    putFirst(logs, absolute, {absolute});
    lastFolder = info.absolutePath();
}

void RecentLogs::addFolder(const RecentFolder& folder) {
    QString absolute = QDir::cleanPath(QDir(folder.path).absolutePath());
    if (!absolute.endsWith(QLatin1Char('/'))) absolute += QLatin1Char('/');
    const QString withSubfolders = absolute + QStringLiteral("**");
    putFirst(logs, folder.recursive ? withSubfolders : absolute, {absolute, withSubfolders});
    lastFolder = QDir::cleanPath(absolute);
}

std::optional<RecentFolder> RecentLogs::folderOf(const QString& entry) {
    if (entry.endsWith(QStringLiteral("/**")))
        return RecentFolder{QDir::cleanPath(entry.chopped(2)), true};
    if (entry.endsWith(QLatin1Char('/'))) return RecentFolder{QDir::cleanPath(entry), false};
    return std::nullopt;
}

QString RecentLogs::startFolder() const {
    return !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder : QDir::homePath();
}

RecentLogs loadRecentLogs() {
    const QSettings stored = programSettings();
    RecentLogs recent;
    // A hand-edited file may hold more, or the same log twice: adding them again tidies it.
    const QStringList kept = stored.value(kLogsKey).toStringList();
    for (auto it = kept.crbegin(); it != kept.crend(); ++it) {
        if (const auto folder = RecentLogs::folderOf(*it))
            recent.addFolder(*folder);
        else if (!it->isEmpty())
            recent.add(*it);
    }
    recent.lastFolder = stored.value(kFolderKey).toString();
    return recent;
}

void saveRecentLogs(const RecentLogs& recent) {
    QSettings stored = programSettings();
    stored.setValue(kLogsKey, recent.logs);
    stored.setValue(kFolderKey, recent.lastFolder);
}

}  // namespace velmora
