// SPDX-License-Identifier: GPL-3.0-or-later
// Faults met through the windows: each ends in a clear report, the windows stay usable, nothing
// is written where not asked for. How each exporter meets each fault is tested in the core.
#include <cstring>

#include "support/ui_test_support.h"

using namespace velmora::uitest;

// A main-window export (they share one way: two stand for all), or an Advanced window's export
// of `entry` answered with x.txt.
// clang-format off
const struct Command { const char *name, *entry, *written; } kCommands[] = {
    {"Convertall", nullptr, "FullConvert_drive.txt"}, {"Sort1", nullptr, "LOCKED_drive.txt"},
    {"Form2", "HOME", "x.txt"}, {"Form3", "00:0A:95:00:00:01 - HOME", "x.txt"},
    {"Form4", "HOME", "x.txt"}};
// clang-format on
enum Fault { WorkingFileGone, ExportFolderGone };

static void load(Program& p, const Command& c) {
    c.entry ? Ui::pick(p.loadAndShow(c.name), c.entry) : p.load();
}
static void run(Program& p, const Command& c) {
    c.entry ? p.save(p.window(c.name), c.written) : p.trigger(c.name);
}
// One error box naming `part`; Label1, the loaded log and the window as they were; no beep.
static bool reported(Program& p, const Command& c, const QString& part) {
    return Ui::oneBox(part) && p.status() == "Processing Done!" && Beep::count() == 0 &&
           p.form->isLoaded() && (!c.entry || p.window(c.name)->isVisible());
}

class FaultsTest : public QObject, Ui {
    Q_OBJECT

  private slots:
    void init() { freshSeams(); }

    void commands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("fault");
        for (int c = 0; c < int(std::size(kCommands)); ++c) {
            QTest::addRow("%s, output1 deleted", kCommands[c].name) << c << int(WorkingFileGone);
            QTest::addRow("%s, folder gone", kCommands[c].name) << c << int(ExportFolderGone);
        }
    }
    void commands() {
        QFETCH(int, command);
        QFETCH(int, fault);
        const Command& c = kCommands[command];
        Program p;
        load(p, c);
        const QString target = p.logs.filePath(c.written);
        QTemporaryDir elsewhere;
        if (fault == WorkingFileGone) {  // by another program
            QVERIFY(QFile::remove(p.output1()));
            run(p, c);
            QVERIFY(reported(p, c, p.output1()) && !QFile::exists(target));
            // Still usable: Close File, load again, and the same command succeeds.
            MessageBox::clearShown();
            p.trigger("CloseFile");
            load(p, c);
            run(p, c);
            QVERIFY(MessageBox::shown().isEmpty() && QFile::exists(target));
        } else {
            // Once fell back to whatever folder was current: the file landed where nobody asked.
            QDir::setCurrent(c.entry ? elsewhere.path() : p.logs.path());
            QVERIFY(QDir(p.logs.path()).removeRecursively());
            run(p, c);
            QVERIFY(reported(p, c, "") && QDir(elsewhere.path()).isEmpty());
            QVERIFY(!QDir(p.logs.path()).exists());
        }
    }

    // A name of every byte value 1..255 (but the log's separators) lists as Latin-1 and, picked,
    // exports its own sighting alone (how it is quoted is tested in the core).
    void nameOfEveryByteValue() {
        std::string name;
        for (int b = 1; b < 256; ++b)
            if (!std::strchr("\t\n\r ()", b)) name.push_back(char(b));
        Program p;
        p.load(driveLog(true) + test::dataLine("N 1", "E 2", name, "00:00:00:00:00:01", "0011"));
        QWidget* w = p.show("Form2");
        pick(w, QString::fromLatin1(toUpperAscii(name).c_str()));
        p.save(w, "group.txt");
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(readAll(p.logs.filePath("group.txt")).count("\r\n"), 2);
    }
};

QTEST_MAIN(FaultsTest)
#include "faults_test.moc"
