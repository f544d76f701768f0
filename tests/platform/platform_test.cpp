// SPDX-License-Identifier: GPL-3.0-or-later
#include <QtTest>

#include "platform/file_dialog.h"
#include "platform/working_folder.h"

using velmora::FileDialog;

class PlatformTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(root_.filePath("program/v1.2")));
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
    }

    // A writable program folder is kept, else $XDG_DATA_HOME/velmora (if absolute) or
    // ~/.local/share/velmora, made. Below a regular file not even root can write.
    void workingFolder() {
        const QString program = root_.filePath("program"), below = root_.filePath("plain/program");
        const QString xdg = root_.filePath("xdg"),
                      local = root_.filePath("home/.local/share/velmora");
        // clang-format off
        const struct { QString program, xdgDataHome, expected; } rows[] = {
            {program, xdg, program}, {below, xdg, xdg + "/velmora"}, {below, "", local},
            {below, "relative/data", local}};
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

  private:
    QTemporaryDir root_;
    const QString start_ = QDir::currentPath();
};

QTEST_MAIN(PlatformTest)
#include "platform_test.moc"
