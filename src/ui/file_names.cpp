// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_names.h"

#include <QByteArray>
#include <QFile>
#include <string>
#include <system_error>

namespace velmora {

std::filesystem::path corePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString shownPath(const std::filesystem::path& path) {
    return QFile::decodeName(path.c_str());
}

bool representable(const std::filesystem::path& path) {
    return corePath(shownPath(path)) == path;
}

bool lostUndecodableBytes(const QString& path) {
    std::error_code ec;
    return path.contains(QChar::ReplacementCharacter) &&
           !std::filesystem::exists(corePath(path), ec);
}

std::vector<std::filesystem::path> commandLineFiles(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) files.emplace_back(std::string(argv[i]));
    return files;
}

std::optional<std::filesystem::path> localFile(const QUrl& url) {
    if (!url.isLocalFile()) return std::nullopt;
    // QUrl keeps bytes that are not UTF-8 percent-encoded; decoding the path to text would
    // replace them.
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (url.host().isEmpty() || url.host() == QStringLiteral("localhost"))
        return std::filesystem::path(bytes.toStdString());
    // A file on another host, as the system reaches it: //host/path.
    return corePath(url.toLocalFile());
}

}  // namespace velmora
