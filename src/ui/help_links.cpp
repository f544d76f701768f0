// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_links.h"

#include <QDir>

#include "velmora_version.h"

namespace velmora {

QUrl helpPageUrl(const QString& programFolder) {
    return QUrl::fromLocalFile(
        QDir(programFolder).absoluteFilePath(QStringLiteral(VELMORA_HELP_PAGE)));
}

QUrl updatePageUrl() {
    return QUrl(QStringLiteral(VELMORA_UPDATE_URL));
}

bool isUpdateAddress(const QUrl& url) {
    if (!url.isValid() || url.isEmpty() || url.host().isEmpty()) return false;
    const QString host = url.host().toLower();
    return host != QLatin1String("example.org") && !host.endsWith(QLatin1String(".example.org"));
}

}  // namespace velmora
