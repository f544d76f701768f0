// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

// The logs File > "Recent Logs" lists and the folder the open dialog starts in, kept between
// runs in the user's settings file (beside the export choices).
struct RecentLogs {
    // Full paths, the most recently opened first, at most kLimit, none twice.
    QStringList logs;
    // The folder of the log opened last; empty before the first.
    QString lastFolder;

    static constexpr int kLimit = 8;

    // Puts `path` (made absolute) first, removing an earlier mention, and keeps kLimit.
    void add(const QString& path);
    // The folder the open dialog starts in: the last log's folder while it exists, else the
    // home folder.
    QString startFolder() const;
};

RecentLogs loadRecentLogs();
void saveRecentLogs(const RecentLogs& recent);

}  // namespace velmora
