#include "platform/working_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using velmora::chooseWorkingFolder;

class WorkingFolderTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir root_;
    // A folder nobody can write, even root: it lies under a regular file.
    QString underFile() const { return root_.filePath("plain-file/program"); }
    QString home() const { return root_.filePath("home"); }
    QString program() const { return root_.filePath("program"); }

  private slots:
    void initTestCase() {
        QFile file(root_.filePath("plain-file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkpath(program()));
    }

    void writability_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("writable");
        QTest::newRow("folder") << program() << true;
        QTest::newRow("regular file") << root_.filePath("plain-file") << false;
        QTest::newRow("under a regular file") << underFile() << false;
    }

    void writability() {
        QFETCH(QString, folder);
        QFETCH(bool, writable);
        QCOMPARE(velmora::isWritableFolder(folder), writable);
    }

    void choice_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<bool>("writable");  // the injected check's answer
        QTest::addColumn<QString>("xdgDataHome");
        QTest::addColumn<QString>("expected");
        const QString xdg = root_.filePath("xdg");
        QTest::newRow("writable: beside the program") << program() << true << xdg << program();
        QTest::newRow("read-only, XDG_DATA_HOME set")
            << program() << false << xdg << xdg + "/velmora";
        QTest::newRow("read-only, XDG_DATA_HOME unset")
            << program() << false << QString() << home() + "/.local/share/velmora";
        QTest::newRow("read-only, XDG_DATA_HOME relative")
            << program() << false << "relative/data" << home() + "/.local/share/velmora";
    }

    void choice() {
        QFETCH(QString, programFolder);
        QFETCH(bool, writable);
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, expected);
        QString asked;
        const QString chosen =
            chooseWorkingFolder(programFolder, xdgDataHome, home(), [&](const QString& folder) {
                asked = folder;
                return writable;
            });
        QCOMPARE(asked, programFolder);
        QCOMPARE(chosen, expected);
        QVERIFY2(QFileInfo(chosen).isDir(), qPrintable(chosen));
    }

    // The real check and the environment: a program folder under a file goes to the data folder.
    void environment() {
        const QByteArray savedXdg = qgetenv("XDG_DATA_HOME");
        const QString xdg = root_.filePath("env-xdg");
        qputenv("XDG_DATA_HOME", QFile::encodeName(xdg));
        const QString underFileChoice = velmora::workingFolder(underFile());
        const QString writableChoice = velmora::workingFolder(program());
        savedXdg.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedXdg);
        QCOMPARE(underFileChoice, xdg + "/velmora");
        QCOMPARE(writableChoice, program());
    }
};

QTEST_GUILESS_MAIN(WorkingFolderTest)
#include "working_folder_test.moc"
