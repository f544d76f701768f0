// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace velmora {

// A folder that Recent Logs lists: opened with Open Folder, with or without its subfolders.
struct RecentFolder {
    QString path;
    bool recursive = false;
};

// The logs File > "Recent Logs" lists and the folder the open dialog starts in, kept between
// runs in the user's settings file (beside the export choices).
struct RecentLogs {
    // Full paths, the most recently opened first, at most kLimit, none twice. A folder stands
    // as its path and "/" (its files) or "/**" (its subfolders' too), which no log's path ends
    // in.
    QStringList logs;
    // The folder of the log opened last; empty before the first.
    QString lastFolder;

    static constexpr int kLimit = 8;

    // Puts `path` (made absolute) first, removing an earlier mention, and keeps kLimit.
    void add(const QString& path);
    // The same for a folder opened as a survey: one entry a folder, as it was opened last.
    void addFolder(const RecentFolder& folder);
    // The folder an entry of `logs` stands for, if it stands for one.
    static std::optional<RecentFolder> folderOf(const QString& entry);
    // The folder the open dialog starts in: the last log's folder while it exists, else the
    // home folder.
    QString startFolder() const;
};

RecentLogs loadRecentLogs();
void saveRecentLogs(const RecentLogs& recent);

}  // namespace velmora
