#include "ui/Form1.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLockFile>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "loader/source_loader.h"
#include "platform/beep.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"

using velmora::Beep;
using velmora::FileDialog;
using velmora::Form1;
using velmora::MessageBox;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

std::string bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// One program: an application folder, a folder of logs and the main window.
struct Program {
    QTemporaryDir app;
    QTemporaryDir logs;
    std::unique_ptr<Form1> form;

    explicit Program(const QString& appFolder = {})
        : form(std::make_unique<Form1>(appFolder.isEmpty() ? app.path() : appFolder)) {}

    QString log(const QString& sample) {
        const QString copy = logs.filePath(sample);
        if (!QFile::exists(copy)) QFile::copy(QDir(VELMORA_SAMPLES_DIR).filePath(sample), copy);
        return copy;
    }

    // File > Open File, picking `path` in the dialog (or cancelling it for an empty path).
    void open(const QString& path) {
        path.isEmpty() ? FileDialog::scriptCancel() : FileDialog::scriptNext(path);
        action("Openoptn")->trigger();
    }

    QAction* action(const QString& name) const {
        QAction* a = form->findChild<QAction*>(name);
        if (!a) qFatal("no action %s", qPrintable(name));
        return a;
    }
    bool shows(const QString& name) const {
        return form->findChild<QWidget*>(name)->isVisibleTo(form.get());
    }
    QString text(const QString& name) const { return form->findChild<QLabel*>(name)->text(); }
    QString output1() const { return QDir(form->applicationFolder()).filePath("output1"); }
};

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        MessageBox::setScripted(true);
        Beep::setSilent(true);
        start_ = QDir::currentPath();
    }

    void cleanup() {
        FileDialog::clearScript();
        MessageBox::clearShown();
        Beep::resetCount();
        QDir::setCurrent(start_);
    }

    void stateTable_data() {
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("close");
        // Openoptn Convertall CloseFile QuickSort advanced APName MACAddress AdvanceCriteria
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("sourceType");
        QTest::newRow("start") << "" << false << "10000111"
                               << ""
                               << "";
        QTest::newRow("text") << "drive-text.txt" << false << "01111011"
                              << "Processing Done!"
                              << "NS1 Text Export";
        QTest::newRow("summary") << "drive-summary.txt" << false << "01111101"
                                 << "Processing Done!"
                                 << "NS1 Summary Export";
        QTest::newRow("text, closed") << "drive-text.txt" << true << "10000011"
                                      << "Information Unloaded"
                                      << "NS1 Text Export";
    }

    void stateTable() {
        QFETCH(QString, log);
        QFETCH(bool, close);
        QFETCH(QString, enabled);
        QFETCH(QString, status);
        QFETCH(QString, sourceType);
        Program p;
        velmora::LoadCounts counts;
        if (!log.isEmpty()) {
            QTemporaryDir scratch;
            counts = velmora::loadSourceLog(bytes(p.log(log)), {bytes(scratch.path())}).counts;
            p.open(p.log(log));
        }
        if (close) p.action("CloseFile")->trigger();
        const bool loaded = !log.isEmpty() && !close;

        QCOMPARE(p.form->windowTitle(), loaded ? "Velmora 2004 - " + log : "Velmora 2004");
        QCOMPARE(p.text("Label1"), status);
        QCOMPARE(p.text("Label14"), sourceType);
        const QStringList items = {"Openoptn", "Convertall", "CloseFile",  "QuickSort",
                                   "advanced", "APName",     "MACAddress", "AdvanceCriteria"};
        for (int i = 0; i < items.size(); ++i)
            QVERIFY2(p.action(items[i])->isEnabled() == (enabled[i] == '1'), qPrintable(items[i]));
        for (const char* always : {"File", "Exit", "help", "content", "About"})
            QVERIFY2(p.action(always)->isEnabled(), always);

        for (int n : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16})
            QVERIFY2(p.shows(QStringLiteral("Label%1").arg(n)) == loaded,
                     qPrintable(QString::number(n)));
        QCOMPARE(p.shows("Picture1"), !loaded);
        QVERIFY(!p.shows("ProgressBar1"));
        QCOMPARE(QFile::exists(p.output1()), loaded);
        const QList<std::pair<const char*, quint64>> shown = {
            {"Label3", counts.total},  {"Label5", counts.wepOff},
            {"Label7", counts.wepOn},  {"Label9", counts.infrastructure},
            {"Label11", counts.adHoc}, {"Label13", counts.dropped}};
        for (const auto& [name, count] : shown)
            QCOMPARE(p.text(name), QString::number(loaded ? count : 0));
    }

    void rejectedFileLeavesWindowIdle_data() {
        QTest::addColumn<QByteArray>("content");  // empty: the file does not exist
        QTest::addColumn<bool>("output1IsFolder");
        QTest::addColumn<QString>("status");
        QTest::newRow("format line with a space")
            << QByteArray("#\r\n# $Format: wi-scan with extensions \r\n") << false
            << "Bad File - Try Again";
        QTest::newRow("one line") << QByteArray("# $Format: wi-scan with extensions\r\n") << false
                                  << "Bad File - Try Again";
        QTest::newRow("missing file") << QByteArray() << false << "File Not Readable - Try Again";
        QTest::newRow("working file unwritable")
            << readAll(QDir(VELMORA_SAMPLES_DIR).filePath("drive-text.txt")) << true
            << "Working File Error - Check Folder";
    }

    void rejectedFileLeavesWindowIdle() {
        QFETCH(QByteArray, content);
        QFETCH(bool, output1IsFolder);
        QFETCH(QString, status);
        Program p;
        const QString log = p.logs.filePath("chosen.txt");
        if (!content.isEmpty()) writeAll(log, content);
        if (output1IsFolder) QVERIFY(QDir(p.app.path()).mkpath("output1/kept"));
        p.open(log);
        QCOMPARE(p.text("Label1"), status);
        QCOMPARE(p.form->windowTitle(), QStringLiteral("Velmora 2004"));
        QVERIFY(p.action("Openoptn")->isEnabled() && !p.action("QuickSort")->isEnabled());
        QVERIFY(p.shows("Picture1") && !p.shows("Label3"));
        QVERIFY(!p.form->isLoaded() && !QFileInfo(p.output1()).isFile());
    }

    void cancelledDialog() {
        Program p;
        p.open(QString());
        QCOMPARE(p.text("Label1"), QString());
        QVERIFY(!p.form->isLoaded() && !QFile::exists(p.output1()));

        // A rejected choice stays in the dialog: a cancel reads that file again, which has
        // meanwhile become a log.
        const QString log = p.logs.filePath("later.txt");
        writeAll(log, "nothing\r\n");
        p.open(log);
        QCOMPARE(p.text("Label1"), QStringLiteral("Bad File - Try Again"));
        writeAll(log, readAll(p.log("drive-text.txt")));
        p.open(QString());
        QCOMPARE(p.form->windowTitle(), QStringLiteral("Velmora 2004 - later.txt"));

        // Close File forgets the file: the next cancel changes nothing.
        p.action("CloseFile")->trigger();
        p.open(QString());
        QCOMPARE(FileDialog::lastProposedName(), QString());
        QCOMPARE(p.text("Label1"), QStringLiteral("Information Unloaded"));
        QVERIFY(!p.form->isLoaded() && !QFile::exists(p.output1()));
    }

    void shortcuts() {
        Program p;
        p.form->show();
        QVERIFY(QTest::qWaitForWindowActive(p.form.get()));
        // Idle: the Quick Sort menu is disabled, so its keys do nothing; Ctrl+C neither.
        QTest::keyClick(p.form.get(), Qt::Key_F2);
        QTest::keyClick(p.form.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(Beep::count(), 0);
        QCOMPARE(p.text("Label1"), QString());

        p.open(p.log("drive-text.txt"));
        QTest::keyClick(p.form.get(), Qt::Key_F2);
        QCOMPARE(Beep::count(), 1);
        QTest::keyClick(p.form.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(p.text("Label1"), QStringLiteral("Information Unloaded"));
        QVERIFY(!QFile::exists(p.output1()));
    }

    void windowHooks() {
        Program p;
        QStringList calls;
        p.form->onAdvanceCriteria = [&] { calls << "AdvanceCriteria"; };
        p.form->onAbout = [&] { calls << "About"; };
        p.action("AdvanceCriteria")->trigger();  // Idle: the Advanced menu is disabled
        p.open(p.log("drive-text.txt"));
        p.form->closeAdvancedWindows = {
            [&] { calls << (QFile::exists(p.output1()) ? "Form2" : "Form2 too late"); },
            [&] { calls << "Form3"; }};
        p.action("MACAddress")->trigger();  // unset hook: nothing
        p.action("AdvanceCriteria")->trigger();
        p.action("About")->trigger();
        p.action("CloseFile")->trigger();
        QCOMPARE(calls, QStringList({"AdvanceCriteria", "About", "Form2", "Form3"}));
    }

    void exitAndWindowClose_data() {
        QTest::addColumn<bool>("load");
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("Exit, loaded") << true << true;
        QTest::newRow("Exit, idle") << false << true;
        QTest::newRow("window close, loaded") << true << false;
        QTest::newRow("window close, idle") << false << false;
    }

    void exitAndWindowClose() {
        QFETCH(bool, load);
        QFETCH(bool, byMenu);
        Program p;
        p.form->show();
        // Idle, a working file left behind by an earlier run goes all the same.
        load ? p.open(p.log("drive-summary.txt")) : writeAll(p.output1(), "left,behind\r\n");
        QSignalSpy ended(p.form.get(), &Form1::ended);
        bool advancedClosed = false;
        p.form->closeAdvancedWindows.push_back([&] { advancedClosed = true; });
        byMenu ? p.action("Exit")->trigger() : void(p.form->close());
        QVERIFY(ended.count() == 1 && advancedClosed && !p.form->isVisible());
        QVERIFY(!QFile::exists(p.output1()));
        QVERIFY(!QFile::exists(QDir(p.app.path()).filePath("output1.lock")));
    }

    void exports_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("fault");  // "folder": a folder holds the name; "gone": output1
        QTest::newRow("Convert All") << "Convertall"
                                     << "FullConvert_"
                                     << "Full Convert Complete!"
                                     << "";
        QTest::newRow("Locked") << "Sort1"
                                << "LOCKED_"
                                << "Quick Sort 1 Done!"
                                << "";
        QTest::newRow("Open") << "Sort2"
                              << "UNLOCKED_"
                              << "Quick Sort 2 Done!"
                              << "";
        QTest::newRow("Infra") << "ShortPreamble"
                               << "All_Infrastructures_"
                               << "Quick Sort 3 Done!"
                               << "";
        QTest::newRow("Ad-hoc") << "ADHOC"
                                << "All_AD-HOC_"
                                << "Quick Sort 4 Done!"
                                << "";
        QTest::newRow("Convert All, folder") << "Convertall"
                                             << "FullConvert_"
                                             << ""
                                             << "folder";
        QTest::newRow("Ad-hoc, folder") << "ADHOC"
                                        << "All_AD-HOC_"
                                        << ""
                                        << "folder";
        QTest::newRow("Open, output1 gone") << "Sort2"
                                            << "UNLOCKED_"
                                            << ""
                                            << "gone";
    }

    void exports() {
        QFETCH(QString, item);
        QFETCH(QString, file);
        QFETCH(QString, status);
        QFETCH(QString, fault);
        Program p;
        QDir::setCurrent(p.app.path());
        p.open(p.log("drive-text.txt"));  // the dialog makes the log's folder current
        const QString target = p.logs.filePath(file + "drive-text.txt");
        if (fault == "folder") QDir().mkpath(target + "/kept");
        if (fault == "gone") velmora::removeWorkingFile(bytes(p.output1()));

        p.action(item)->trigger();
        if (fault.isEmpty()) {
            QCOMPARE(p.text("Label1"), status);
            QCOMPARE(Beep::count(), item == "Convertall" ? 0 : 1);
            QVERIFY(MessageBox::shown().isEmpty());
            QVERIFY(readAll(target).startsWith("Latitude;Longitude;Name; ;Name 2\r\n"));
            return;
        }
        // The command is abandoned with the error, and the window stays as it was.
        QCOMPARE(MessageBox::shown().size(), 1);
        const MessageBox::Shown& box = MessageBox::shown().first();
        QVERIFY(box.kind == MessageBox::Kind::Error);
        QCOMPARE(box.caption, QStringLiteral("Velmora2004_Pre_Release"));
        const QString named = fault == "gone" ? QStringLiteral("output1") : target;
        QVERIFY2(box.text.contains(named), qPrintable(box.text));
        QCOMPARE(p.text("Label1"), QStringLiteral("Processing Done!"));
        QCOMPARE(Beep::count(), 0);
        QVERIFY(p.form->isLoaded());
    }

    void logNameBytesShowAsLatin1() {
        Program p;
        const QString name = QStringLiteral("caf\u00e9.txt");
        QVERIFY(QFile::copy(p.log("drive-text.txt"), p.logs.filePath(name)));
        p.open(p.logs.filePath(name));
        QCOMPARE(p.form->windowTitle(),
                 "Velmora 2004 - " + QString::fromLatin1(QFile::encodeName(name)));
        p.action("Convertall")->trigger();
        QVERIFY(QFile::exists(p.logs.filePath("FullConvert_" + name)));
    }

    void secondCopyCannotTakeTheWorkingFile() {
        Program first;
        Program second(first.app.path());
        first.open(first.log("drive-text.txt"));
        const QByteArray working = readAll(first.output1());
        QVERIFY(!working.isEmpty());

        second.open(first.log("drive-summary.txt"));
        QCOMPARE(second.text("Label1"), QStringLiteral("File In Use - Close Other Copy"));
        QVERIFY(!second.form->isLoaded() && second.action("Openoptn")->isEnabled());
        QCOMPARE(second.form->windowTitle(), QStringLiteral("Velmora 2004"));
        // An idle copy that ends leaves the other copy's working file alone.
        second.action("Exit")->trigger();
        QCOMPARE(readAll(first.output1()), working);

        first.action("CloseFile")->trigger();
        Program third(first.app.path());
        FileDialog::clearScript();
        third.open(first.log("drive-summary.txt"));
        QVERIFY(third.form->isLoaded());
    }

    void staleLockOfAGoneCopyDoesNotBlock() {
        Program p;
        // A lock as a copy writes it, owned by a process that no longer exists.
        QByteArray content;
        {
            QLockFile genuine(p.logs.filePath("probe.lock"));
            QVERIFY(genuine.tryLock(0));
            content = readAll(p.logs.filePath("probe.lock"));
        }
        writeAll(QDir(p.app.path()).filePath("output1.lock"),
                 "2147483600" + content.mid(content.indexOf('\n')));
        p.open(p.log("drive-text.txt"));
        QVERIFY(p.form->isLoaded());
    }

    void labelsHoldTheirLongestTexts() {
        Program p;
        const QList<std::pair<QString, QString>> texts = {
            {"Label1", "Working File Error - Check Folder"},
            {"Label2", "Total Number Of Source Entries "},
            {"Label12", "Non-GPS Dropped Entries"},
            {"Label14", "NS1 Summary Export"},
            {"Label13", "4294967295"}};
        for (const auto& [name, text] : texts) {
            const QLabel* l = p.form->findChild<QLabel*>(name);
            QVERIFY2(l->fontMetrics().horizontalAdvance(text) <= l->width(), qPrintable(name));
        }
    }

  private:
    QString start_;
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
