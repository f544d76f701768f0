// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program: the main window, with everything else opened from its menus.
#include <signal.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/program_arguments.h"
#include "io/protected_files.h"
#include "platform/message_box.h"
#include "platform/other_copy.h"
#include "platform/program_settings.h"
#include "ui/Form1.h"
#include "ui/file_names.h"
#include "ui/program_windows.h"
#include "velmora_version.h"

int main(int argc, char** argv) {
    // Answered before any window system is needed, so it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("velmora " VELMORA_FILE_VERSION);
        return 0;
    }
    // A write past the file size limit fails and is reported like a full disk, instead of
    // ending the program with no word.
    signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_FILE_VERSION));
    // Ties the windows to the installed desktop entry (its icon and name).
    QGuiApplication::setDesktopFileName(QStringLiteral(VELMORA_DESKTOP_ID));
    // Checked before any window reads it: Qt would wait on a FIFO there for good.
    if (const QString problem = velmora::useReadableSettings(); !problem.isEmpty()) {
        const QString text = problem + QStringLiteral("\nThe settings are not kept in this run.");
        std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
        velmora::MessageBox::error(nullptr, QString::fromLatin1(velmora::kApplicationTitle), text);
    }
    velmora::Form1 form1;
    velmora::attachProgramWindows(form1);
    // No save dialog's choice may replace the vendor list (nor the loaded log: the loader's).
    velmora::protectFile(
        velmora::ProtectedRole::VendorList,
        QFile::encodeName(form1.vendorFolder() + QStringLiteral("/vlident.txt")).toStdString());
    QObject::connect(&form1, &velmora::Form1::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // A later copy on the same working folder opens beside the first, not over it, and offers
    // to bring it forward.
    velmora::OtherCopy copies(form1.applicationFolder(), [&form1] { return form1.pos(); });
    QObject::connect(&copies, &velmora::OtherCopy::forwardRequested, &form1, [&form1] {
        form1.showNormal();
        form1.raise();
        form1.activateWindow();
    });
    if (!copies.isFirst()) {
        QEventLoop answered;
        QObject::connect(&copies, &velmora::OtherCopy::placeAnswered, &answered, [&](QPoint place) {
            form1.move(place + QPoint(48, 48));
            answered.quit();
        });
        QTimer::singleShot(400, &answered, &QEventLoop::quit);
        copies.askPlace();
        answered.exec();
        form1.onShowOtherCopy = [&copies] { copies.bringForward(); };
        QObject::connect(
            &copies, &velmora::OtherCopy::forwardAnswered, &form1, [&form1](bool done) {
                if (!done)
                    form1.showStatus(QStringLiteral("The other copy of Velmora did not answer"));
            });
        form1.offerOtherCopy();
    }
    form1.show();
    // "velmora LOG" opens LOG as File > Open File would; the desktop entry passes one file.
    // Its bytes, as the system passed them: a name need not be valid text.
    form1.openFromCommandLine(velmora::logArguments(velmora::commandLineFiles(argc, argv)));
    return app.exec();
}
