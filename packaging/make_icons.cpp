// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's icon at the sizes the desktop's icon theme uses:
//
//   velmora-make-icons <out-folder> <size>...
//
// writes <out-folder>/<size>/velmora.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "ui/artwork.h"

int main(int argc, char** argv) {
    // Runs during the build, where there may be no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: velmora-make-icons <out-folder> <size>...\n");
        return 2;
    }
    for (const QString& word : args.mid(2)) {
        bool ok = false;
        const int size = word.toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "not an icon size: %s\n", qPrintable(word));
            return 2;
        }
        const QDir folder(QDir(args.at(1)).filePath(word));
        const QString file = folder.filePath(QStringLiteral("velmora.png"));
        if (!QDir().mkpath(folder.path()) || !velmora::applicationIconPixmap(size).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
