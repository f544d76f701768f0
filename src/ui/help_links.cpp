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

}  // namespace velmora
