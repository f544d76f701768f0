// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace velmora {

namespace {
const QString kOrganisation = QStringLiteral("Velmora");
}

QSettings programSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, kOrganisation,
                     QStringLiteral("velmora"));
}

QString settingsFile() {
    // The organisation's own file names the folder; it is one the program's settings read
    // anyway, so nothing else is opened.
    const QSettings organisation(QSettings::IniFormat, QSettings::UserScope, kOrganisation);
    return QFileInfo(organisation.fileName()).absolutePath() +
           QStringLiteral("/Velmora/velmora.ini");
}

QString useReadableSettings() {
    const QString file = settingsFile();
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // A file that cannot be opened is one Qt reads as empty, without waiting.
    if (fd < 0) return QString();
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (regular) return QString();
    static std::unique_ptr<QTemporaryDir> privateFolder;
    privateFolder = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, privateFolder->path());
    return file + QStringLiteral(": Not a regular file");
}

}  // namespace velmora
