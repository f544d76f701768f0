// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>

#include "platform/file_dialog.h"
#include "platform/program_settings.h"
#include "platform/working_folder.h"

using velmora::FileDialog;

class PlatformTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(root_.filePath("program/v1.2")));
        QVERIFY(QDir().mkpath(root_.filePath("unpacked/usr/lib/velmora")));
        QVERIFY(QFile(root_.filePath("plain")).open(QIODevice::WriteOnly));
    }
    void cleanup() { QDir::setCurrent(start_); }

    // A confirmed choice makes its folder current and gets the default extension where none
    // was typed (never in an open dialog); a cancel then keeps name, title and folder.
    void dialog() {
        // clang-format off
        const struct { bool save; const char *extension, *typed, *title; } rows[] = {
            {true, "txt", "MAC_0A", "MAC_0A.txt"}, {true, "txt", "list.csv", "list.csv"},
            {true, "", "list", "list"}, {false, "txt", "drive", "drive"},
            {true, "txt", "v1.2/list", "list.txt"}};  // a dot in the folder's name only
        // clang-format on
        for (const auto& r : rows) {
            FileDialog dialog;
            dialog.setDefaultExtension(r.extension);
            FileDialog::scriptNext(root_.filePath(QString("program/") + r.typed));
            QVERIFY(r.save ? dialog.showSave(nullptr) : dialog.showOpen(nullptr));
            QVERIFY2(dialog.fileTitle() == r.title && dialog.fileName().endsWith(r.title), r.typed);
            QCOMPARE(QDir::current().canonicalPath(),
                     QFileInfo(dialog.fileName()).dir().canonicalPath());
            QDir::setCurrent(start_);
            const QString name = dialog.fileName();
            FileDialog::scriptCancel();
            QVERIFY(!dialog.showSave(nullptr));
            QVERIFY(dialog.fileName() == name && dialog.fileTitle() == r.title);
            QCOMPARE(QDir::currentPath(), start_);
        }
        // A dialog for files that are no exports leaves the current folder and starts next
        // time in its own.
        FileDialog picture;
        picture.setKeepsOwnFolder(true);
        FileDialog::scriptNext(root_.filePath("program/map.png"));
        QVERIFY(picture.showSave(nullptr) && QDir::currentPath() == start_);
        picture.setFileName("next.png");
        FileDialog::scriptCancel();
        picture.showSave(nullptr);
        QCOMPARE(FileDialog::lastStartFolder(), root_.filePath("program"));
    }

    // A writable program folder is kept unless it is an installed one (<prefix>/lib/velmora,
    // also unpacked below another folder), else $XDG_DATA_HOME/velmora (if absolute) or
    // ~/.local/share/velmora, made. Below a regular file not even root can write.
    void workingFolder() {
        const QString program = root_.filePath("program"), below = root_.filePath("plain/program"),
                      installed = root_.filePath("unpacked/usr/lib/velmora");
        const QString xdg = root_.filePath("xdg"),
                      local = root_.filePath("home/.local/share/velmora");
        // clang-format off
        const struct { QString program, xdgDataHome, expected; } rows[] = {
            {program, xdg, program}, {below, xdg, xdg + "/velmora"}, {below, "", local},
            {below, "relative/data", local}, {installed, xdg, xdg + "/velmora"},
            {installed + "/", "", local}};
        // clang-format on
        const QByteArray home = qgetenv("HOME"), xdgDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", QFile::encodeName(root_.filePath("home")));
        for (const auto& r : rows) {
            qputenv("XDG_DATA_HOME", QFile::encodeName(r.xdgDataHome));
            const QString chosen = velmora::workingFolder(r.program);
            QCOMPARE(chosen, r.expected);
            QVERIFY2(QFileInfo(chosen).isDir(), qPrintable(chosen));
        }
        qputenv("HOME", home);
        xdgDataHome.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", xdgDataHome);
    }

    // Something other than a file under the settings file's name is found without waiting on it
    // (a FIFO would hold Qt up for good): the run keeps its settings elsewhere.
    void settingsFileThatIsNoFile() {
        const QString config = root_.filePath("config");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
        QVERIFY(velmora::useReadableSettings().isEmpty());  // none yet
        QCOMPARE(velmora::settingsFile(), config + "/Velmora/velmora.ini");
        QVERIFY(QDir().mkpath(config + "/Velmora"));
        QCOMPARE(mkfifo(QFile::encodeName(velmora::settingsFile()).constData(), 0644), 0);
        alarm(60);  // a hang ends the test by SIGALRM
        QCOMPARE(velmora::useReadableSettings(),
                 config + "/Velmora/velmora.ini: Not a regular file");
        velmora::programSettings().setValue("kept", 1);
        QCOMPARE(velmora::programSettings().value("kept").toInt(), 1);
        alarm(0);
    }

  private:
    QTemporaryDir root_;
    const QString start_ = QDir::currentPath();
};

QTEST_MAIN(PlatformTest)
#include "platform_test.moc"
