// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_names.h"

#include <QFile>

namespace velmora {

std::filesystem::path corePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString shownPath(const std::filesystem::path& path) {
    return QFile::decodeName(path.c_str());
}

}  // namespace velmora
