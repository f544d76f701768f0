#include "platform/file_dialog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using velmora::FileDialog;

class FileDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        FileDialog::clearScript();
        QDir::setCurrent(start_);
    }

    void confirmMakesTheFolderCurrentAndCancelKeepsEverything() {
        QDir(folder_.path()).mkdir("logs");
        const QString path = folder_.filePath("logs/drive.txt");
        FileDialog dialog;
        dialog.setFileName("proposed.txt");
        FileDialog::scriptNext(path);
        QVERIFY(dialog.showOpen(nullptr));
        QCOMPARE(FileDialog::lastProposedName(), QStringLiteral("proposed.txt"));
        QCOMPARE(dialog.fileName(), QDir::toNativeSeparators(path));
        QCOMPARE(dialog.fileTitle(), QStringLiteral("drive.txt"));
        QCOMPARE(QDir::current().canonicalPath(), QDir(folder_.filePath("logs")).canonicalPath());

        QDir::setCurrent(start_);
        FileDialog::scriptCancel();
        QVERIFY(!dialog.showSave(nullptr));
        QCOMPARE(dialog.fileName(), QDir::toNativeSeparators(path));
        QCOMPARE(dialog.fileTitle(), QStringLiteral("drive.txt"));
        QCOMPARE(QDir::currentPath(), start_);
    }

    void defaultExtension_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("title");
        QTest::newRow("none typed") << true << "txt"
                                    << "MAC_00095BE75007"
                                    << "MAC_00095BE75007.txt";
        QTest::newRow("own extension") << true << "txt"
                                       << "list.csv"
                                       << "list.csv";
        QTest::newRow("no default") << true << ""
                                    << "list"
                                    << "list";
        QTest::newRow("open never appends") << false << "txt"
                                            << "drive"
                                            << "drive";
        QTest::newRow("dot in the folder only") << true << "txt"
                                                << "v1.2/list"
                                                << "list.txt";
    }

    void defaultExtension() {
        QFETCH(bool, save);
        QFETCH(QString, extension);
        QFETCH(QString, typed);
        QFETCH(QString, title);
        QDir(folder_.path()).mkpath("v1.2");
        FileDialog dialog;
        dialog.setDefaultExtension(extension);
        FileDialog::scriptNext(folder_.filePath(typed));
        QVERIFY(save ? dialog.showSave(nullptr) : dialog.showOpen(nullptr));
        QCOMPARE(dialog.fileTitle(), title);
        QVERIFY(dialog.fileName().endsWith(title));
    }

  private:
    QTemporaryDir folder_;
    QString start_ = QDir::currentPath();
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
