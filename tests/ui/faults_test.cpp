// Fault injection through the windows: each fault ends in a clear report, the windows stay
// usable, and no file is lost. Faults the window tests already walk (an export name that
// is a folder, a missing log, a missing vendor list for the MAC window, output1 gone before
// a window loads) are not repeated here.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "platform/beep.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "records/working_files.h"
#include "records/working_record.h"
#include "support/test_support.h"
#include "ui/Form1.h"
#include "ui/program_windows.h"

using velmora::Beep;
using velmora::FileDialog;
using velmora::Form1;
using velmora::MessageBox;
using velmora::test::dataLine;

namespace {

std::string bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A log of a locked, an open and an ad-hoc access point, each seen often enough that any
// export of it outgrows a 600-byte disk.
std::string log(bool summary) {
    std::string text = velmora::test::textLog({});
    if (summary) text.replace(text.find("wi-scan with"), 12, "wi-scan summary with");
    for (int i = 0; i < 10; ++i) {
        text += dataLine("N 45.5", "E 19.25", "home", "00:0a:95:00:00:01", "0011") + "\r\n";
        text += dataLine("N 45.6", "E 19.26", "open", "00:0a:95:00:00:02", "0001") + "\r\n";
        text += dataLine("N 45.7", "E 19.27", "adhoc", "00:0a:95:00:00:03", "0002") + "\r\n";
    }
    return text;
}

// The program on an application folder of its own, windows attached, and a folder of logs.
struct Program {
    QTemporaryDir app, logs;
    std::unique_ptr<Form1> form;

    explicit Program(const QString& appFolder = {}) {
        velmora::test::writeFile(bytes(QDir(app.path()).filePath("vlident.txt")),
                                 "00:0A:95Example\r\n");
        form = std::make_unique<Form1>(appFolder.isEmpty() ? app.path() : appFolder);
        velmora::attachProgramWindows(*form);
    }
    QString logPath() const { return logs.filePath("drive.txt"); }
    // File > Open File with `path` (a fresh log when empty) chosen in the dialog.
    void open(bool summary = false, const QString& path = {}) {
        if (path.isEmpty()) velmora::test::writeFile(bytes(logPath()), log(summary));
        FileDialog::scriptNext(path.isEmpty() ? logPath() : path);
        action("Openoptn")->trigger();
    }
    QAction* action(const char* name) const { return form->findChild<QAction*>(name); }
    QString status() const { return form->findChild<QLabel*>("Label1")->text(); }
    QString output1() const { return QDir(app.path()).filePath("output1"); }
    QWidget* window(const char* name) const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return form->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    }
    QListWidget* list(QWidget* w, const char* name) const {
        return w->findChild<QListWidget*>(name);
    }
    void pick(QWidget* w, const char* list, int row) const {
        this->list(w, list)->setCurrentRow(row);
    }
    void click(QWidget* w, const char* button) const {
        w->findChild<QAbstractButton*>(button)->click();
    }
};

// One command that reads output1 and writes an export: a main-window item, or an Advanced
// window opened from its menu item, an entry picked and its export button clicked with
// `file` (in the logs folder) answered in its save dialog.
struct Command {
    const char* item;    // the menu item
    const char* window;  // the Advanced window, or null for the main window's exports
    bool summary;        // the log kind that enables the item
};

void run(Program& p, const Command& c, const QString& file) {
    if (!c.window) {
        p.action(c.item)->trigger();
        return;
    }
    FileDialog::scriptNext(p.logs.filePath(file));
    p.click(p.window(c.window), "Command1");
}

// Opens the command's window, if it has one, and picks the HOME network or its entry.
void prepare(Program& p, const Command& c) {
    if (!c.window) return;
    p.action(c.item)->trigger();
    QWidget* w = p.window(c.window);
    QVERIFY(w && w->isVisible());
    QListWidget* names = p.list(w, "List2");
    for (int row = 0; row < names->count(); ++row)
        if (names->item(row)->text().endsWith("HOME")) names->setCurrentRow(row);
    QVERIFY(!names->selectedItems().isEmpty());
}

}  // namespace

Q_DECLARE_METATYPE(Command)

class FaultsTest : public QObject {
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

    void commands_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("written");  // the file the command writes in the logs folder
        QTest::newRow("Convert All")
            << Command{"Convertall", nullptr, false} << "FullConvert_drive.txt";
        QTest::newRow("Locked AP's") << Command{"Sort1", nullptr, false} << "LOCKED_drive.txt";
        QTest::newRow("Open AP's") << Command{"Sort2", nullptr, false} << "UNLOCKED_drive.txt";
        QTest::newRow("All Infrastructure")
            << Command{"ShortPreamble", nullptr, false} << "All_Infrastructures_drive.txt";
        QTest::newRow("All Ad-hoc") << Command{"ADHOC", nullptr, false} << "All_AD-HOC_drive.txt";
        QTest::newRow("AP name window") << Command{"APName", "Form2", true} << "x.txt";
        QTest::newRow("MAC window") << Command{"MACAddress", "Form3", false} << "x.txt";
        QTest::newRow("criteria window") << Command{"AdvanceCriteria", "Form4", false} << "x.txt";
    }

    // Another program deletes output1 while a log is loaded; each command that reads it
    // reports it and writes nothing. Closing and opening the log again mends it.
    void workingFileDeletedWhileLoaded_data() { commands_data(); }
    void workingFileDeletedWhileLoaded() {
        QFETCH(Command, command);
        QFETCH(QString, written);
        Program p;
        p.open(command.summary);
        QVERIFY(p.form->isLoaded());
        prepare(p, command);
        QVERIFY(QFile::remove(p.output1()));

        run(p, command, written);
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown()[0].kind == MessageBox::Kind::Error);
        QVERIFY2(MessageBox::shown()[0].text.contains(p.output1()),
                 qPrintable(MessageBox::shown()[0].text));
        QVERIFY(!QFile::exists(p.logs.filePath(written)));
        QCOMPARE(p.status(), QStringLiteral("Processing Done!"));
        QCOMPARE(Beep::count(), 0);
        QVERIFY(p.form->isLoaded());
        if (command.window) QVERIFY(p.window(command.window)->isVisible());

        // Still usable: Close File, open the log again, and the same command succeeds.
        MessageBox::clearShown();
        p.action("CloseFile")->trigger();
        QVERIFY(!p.window("Form2") && !p.window("Form3") && !p.window("Form4"));
        p.open(command.summary);
        prepare(p, command);
        run(p, command, written);
        QVERIFY(MessageBox::shown().isEmpty());
        QVERIFY(QFile::exists(p.logs.filePath(written)));
    }

    // The disk fills during the export (a file size limit in a child process stands in for
    // it): the command reports the file, an earlier export of that name is kept whole, and
    // no partial file is left.
    void diskFillsDuringAnExport_data() { commands_data(); }
    void diskFillsDuringAnExport() {
        QFETCH(Command, command);
        QFETCH(QString, written);
        Program p;
        p.open(command.summary);
        prepare(p, command);
        const QString target = p.logs.filePath(written);
        velmora::test::writeFile(bytes(target), "an earlier export\r\n");
        const QStringList before = QDir(p.logs.path()).entryList(QDir::AllEntries | QDir::Hidden);

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{600, 600};
            setrlimit(RLIMIT_FSIZE, &limit);
            run(p, command, written);
            const bool reported = MessageBox::shown().size() == 1 &&
                                  MessageBox::shown()[0].text.contains(target) &&
                                  p.status() == "Processing Done!" && Beep::count() == 0;
            _exit(reported ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(velmora::test::readFile(bytes(target)), std::string("an earlier export\r\n"));
        QCOMPARE(QDir(p.logs.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    }

    // The folder an export goes to is gone by the time it is written: the log's folder for
    // the main window's exports, the folder chosen in the save dialog for a window's. The
    // export is reported, and nothing is written anywhere else.
    void exportFolderGone_data() { commands_data(); }
    void exportFolderGone() {
        QFETCH(Command, command);
        QFETCH(QString, written);
        Program p;
        p.open(command.summary);
        prepare(p, command);
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());  // where a stale current folder would send it
        if (!command.window) QDir::setCurrent(p.logs.path());
        QVERIFY(QDir(p.logs.path()).removeRecursively());

        run(p, command, written);
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown()[0].kind == MessageBox::Kind::Error);
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QVERIFY(!QDir(p.logs.path()).exists());
        QCOMPARE(p.status(), QStringLiteral("Processing Done!"));
        QVERIFY(p.form->isLoaded());
    }

    // The application folder cannot be written (it lies below a regular file, which stops
    // root as well): the load is refused with the status line, and nothing is left loaded.
    void applicationFolderUnwritable() {
        QTemporaryDir top;
        velmora::test::writeFile(bytes(top.filePath("plain")), "x");
        Program p(top.filePath("plain/app"));
        p.open();
        QCOMPARE(p.status(), QStringLiteral("Working File Error - Check Folder"));
        QVERIFY(!p.form->isLoaded());
        QVERIFY(p.action("Openoptn")->isEnabled() && !p.action("Convertall")->isEnabled());
        QCOMPARE(p.form->windowTitle(), QStringLiteral("Velmora 2004"));
    }

    // A chosen source log that is no readable file: the status line says so, the window
    // stays idle, and the next open of a good log loads it.
    void sourceLogIsNoFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("gone between the dialog and the read") << "vanished";
        QTest::newRow("a device") << "device";
        QTest::newRow("a FIFO") << "fifo";
    }
    void sourceLogIsNoFile() {
        QFETCH(QString, kind);
        Program p;
        QString chosen = p.logs.filePath("chosen.txt");
        if (kind == "folder") QVERIFY(QDir(p.logs.path()).mkdir("chosen.txt"));
        if (kind == "device") chosen = "/dev/zero";
        if (kind == "fifo") QCOMPARE(mkfifo(bytes(chosen).c_str(), 0600), 0);
        p.open(false, chosen);
        QCOMPARE(p.status(), QStringLiteral("File Not Readable - Try Again"));
        QVERIFY(!p.form->isLoaded() && !QFile::exists(p.output1()));
        QVERIFY(MessageBox::shown().isEmpty());

        p.open();
        QVERIFY(p.form->isLoaded());
        QCOMPARE(p.status(), QStringLiteral("Processing Done!"));
    }

    // vlident.txt is a folder: the criteria window reports it and still works without it.
    void vendorListIsAFolder() {
        Program p;
        QVERIFY(QFile::remove(QDir(p.app.path()).filePath("vlident.txt")));
        QVERIFY(QDir(p.app.path()).mkpath("vlident.txt/kept"));
        p.open();
        p.action("AdvanceCriteria")->trigger();
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown()[0].text.contains("vlident.txt"));
        QWidget* w = p.window("Form4");
        QCOMPARE(p.list(w, "List2")->count(), 3);
        p.pick(w, "List2", 1);  // HOME
        p.click(w, "Option8");
        QCOMPARE(p.list(w, "List1")->count(), 1);
        p.pick(w, "List1", 0);
        QCOMPARE(w->findChild<QLabel*>("Label1")->text(), QStringLiteral("Not Found"));
    }

    // A network name of every byte from 1 to 255 (but tab and line ends) is listed as
    // Latin-1 and, picked in the list, exports exactly its record.
    void nameOfEveryByteValue() {
        std::string name;
        for (int b = 1; b < 256; ++b)
            if (b != '\t' && b != '\n' && b != '\r' && b != ' ' && b != '(' && b != ')')
                name.push_back(static_cast<char>(b));
        Program p;
        std::string text =
            velmora::test::textLog({dataLine("N 1", "E 2", name, "00:00:00:00:00:01", "0011"),
                                    dataLine("N 1", "E 2", "other", "00:00:00:00:00:02", "0011")});
        text.replace(text.find("wi-scan with"), 12, "wi-scan summary with");
        velmora::test::writeFile(bytes(p.logPath()), text);
        p.open(true, p.logPath());
        p.action("APName")->trigger();
        QWidget* w = p.window("Form2");
        const QString shownName = QString::fromLatin1(velmora::toUpperAscii(name).c_str());
        const auto found = p.list(w, "List2")->findItems(shownName, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        p.list(w, "List2")->setCurrentItem(found[0]);
        run(p, Command{"APName", "Form2", true}, "group.txt");
        QVERIFY(MessageBox::shown().isEmpty());
        const std::string exported = velmora::test::readFile(bytes(p.logs.filePath("group.txt")));
        QVERIFY(exported.find(";" + velmora::toUpperAscii(name) + ";") != std::string::npos);
        QVERIFY(exported.find("OTHER") == std::string::npos);
    }

  private:
    QString start_;
};

QTEST_MAIN(FaultsTest)
#include "faults_test.moc"
