// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a desktop program: a log opened from the command line, by a drop or from
// the recent list; the status bar after an export and how it fits; the export folder; the
// busy cursor; the help window's links; a second copy.
#include "io/file_error.h"
#include "platform/other_copy.h"
#include "support/ui_test_support.h"
#include "ui/export_folder.h"
#include "ui/export_reports.h"
#include "ui/file_names.h"
#include "ui/help_window.h"
#include "ui/map_window.h"
#include "ui/status_line.h"

using namespace velmora::uitest;

namespace {

// What a drop of `files` (URLs) does to the window.
void drop(QWidget* window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropped);
}

QStringList recentEntries(const Program& p) {
    auto* menu = p.form->findChild<QMenu*>("RecentLogs");
    emit menu->aboutToShow();
    QStringList entries;
    for (QAction* a : menu->actions())
        if (a->isVisible())
            entries << (a->isEnabled() ? "" : "-") +
                           (a->objectName() == "RecentLogsEmpty"
                                ? a->text()
                                : QFileInfo(a->text().section(' ', 1)).fileName());
    return entries;
}

// clang-format off
// The command line: its logs (a name in logs/, as bytes, written as a log or missing), what
// Label1 then says, whether the log is loaded, and what a box says (nullptr: no box). Which
// files are no logs is the loader's.
const struct CommandLine {
    const char* name; std::vector<const char*> logs; bool written; const char* status;
    bool loaded; const char* box;
} kCommandLines[] = {
    {"none", {}, false, "", false, nullptr},
    {"a log", {"drive.txt"}, true, "Processing Done!", true, nullptr},
    // Written on a Latin-1 system: no text holds the name, its bytes reach the file.
    {"name not UTF-8", {"caf\xe9.txt"}, true, "Processing Done!", true, nullptr},
    {"missing, name not UTF-8", {"gon\xe9.txt"}, false, "File Not Readable - Try Again", false,
     nullptr},
    {"two logs", {"drive.txt", "other.txt"}, true, "", false, "one log at a time"}};
// clang-format on

}  // namespace

class DesktopTest : public QObject, Ui {
    Q_OBJECT

  private slots:
    void init() { freshSeams(); }

    void commandLineOpensAsTheOpenDialog_data() { rows(kCommandLines); }
    void commandLineOpensAsTheOpenDialog() {
        const CommandLine& c = fetch(kCommandLines);
        Program p;
        // main() hands over argv as the system passed it.
        std::vector<std::string> argv{"velmora"};
        for (const char* log : c.logs) {
            argv.push_back((corePath(p.logs.path()) / log).string());
            if (c.written) test::writeFile(argv.back(), driveLog());
        }
        std::vector<char*> args;
        for (std::string& arg : argv) args.push_back(arg.data());
        p.form->openFromCommandLine(commandLineFiles(static_cast<int>(args.size()), args.data()));
        QCOMPARE(p.status(), c.status);
        QCOMPARE(p.form->isLoaded(), c.loaded);
        QVERIFY(c.box ? oneBox(c.box, MessageBox::Kind::Information)
                      : MessageBox::shown().isEmpty());
        QCOMPARE(FileDialog::shownCount(), 0);
        // Bytes from the command line reach the file: a missing one is reported as missing.
        QVERIFY(!p.statusBar().contains("cannot be opened from here"));
        if (!c.loaded) return;
        // As after the dialog: the caption names it, the counts show, and exports go beside it
        // under its name's bytes. A name no text holds is not kept in Recent Logs.
        const std::string log = c.logs[0];
        QCOMPARE(p.form->windowTitle(), "Velmora 2004 - " + shownPath(log));
        QCOMPARE(text(p.form.get(), "Label3") + " " + text(p.form.get(), "Label5"), "11 2");
        const bool utf8 = log == "drive.txt";
        QCOMPARE(p.statusBar().contains("not kept in Recent Logs"), !utf8);
        QCOMPARE(recentEntries(p), QStringList{utf8 ? "drive.txt" : "-(none)"});
        p.trigger("Convertall");
        QVERIFY(std::filesystem::exists(corePath(p.logs.path()) / ("FullConvert_" + log)));
        // While Loaded, a log given later opens nothing.
        writeAll(p.logs.filePath("late.txt"), driveLog(true));
        QVERIFY(!p.form->openLog(p.logs.filePath("late.txt")));
        QCOMPARE(text(p.form.get(), "Label14"), "NS1 Text Export");
    }

    // One log dropped opens as Open File does; several files or a folder make a survey, and
    // while Loaded a drop, like File > Add Logs, adds to it; File > Open Folder opens one.
    void dropsAddLogsAndOpenFolderMakeASurvey() {
        Program p;
        std::string other = driveLog();
        for (std::size_t at; (at = other.find("S 10.5")) != other.npos;) other[at + 3] = '9';
        writeAll(p.logs.filePath("drive.txt"), driveLog());
        writeAll(p.logs.filePath("summary.txt"), driveLog(true));
        writeAll(p.logs.filePath("other.txt"), other);
        writeAll(p.logs.filePath("notes.txt"), "notes\r\nmore\r\n");
        const auto url = [&](const char* name) {
            return QUrl::fromLocalFile(p.logs.filePath(name));
        };
        const auto caption = [&] { return p.form->windowTitle(); };
        drop(p.form.get(), {QUrl("https://127.0.0.1/drive.txt")});
        QVERIFY(!p.form->isLoaded() && p.status().isEmpty());

        // The summary export of the same drive adds nothing but duplicates.
        drop(p.form.get(), {url("drive.txt"), url("summary.txt")});
        QCOMPARE(caption(), "Velmora 2004 - drive.txt and 1 more log");
        QVERIFY(p.statusBar().contains("11 duplicate sightings skipped"));
        drop(p.form.get(), {url("notes.txt")});
        QVERIFY(p.statusBar().contains("1 file skipped: not a survey log"));
        FileDialog::scriptNextFiles({p.logs.filePath("other.txt")});
        p.trigger("AddLogs");
        QCOMPARE(caption(), "Velmora 2004 - drive.txt and 2 more logs");
        QCOMPARE(text(p.form.get(), "Label3"), "22");
        QCOMPARE(p.form->centralWidget()->toolTip().count('\n'), 2);
        p.trigger("Convertall");
        QVERIFY(QFile::exists(p.logs.filePath("FullConvert_drive.txt")));

        p.trigger("CloseFile");
        QCOMPARE(caption(), "Velmora 2004");
        // With its subfolders; one that cannot be read is said, and keeps nothing out. Past
        // three, what was skipped is counted, and listed in the tooltip.
        test::makeTooDeepFolder(corePath(p.logs.path()));
        const std::string ns1 = test::readFile(test::repoFile("samples/drive-ns1.ns1"));
        for (const char* cut : {"cut1.ns1", "cut2.ns1", "cut3.ns1", "cut4.ns1"})
            writeAll(p.logs.filePath(cut), ns1.substr(0, ns1.size() / 2));
        FileDialog::scriptFolder(p.logs.path(), true);
        p.trigger("OpenFolder");
        QVERIFY2(p.statusBar().contains(": File name too long"), qPrintable(p.statusBar()));
        QVERIFY2(p.statusBar().contains("cut2.ns1: the file is cut short") &&
                     p.statusBar().endsWith("; 2 more skipped"),
                 qPrintable(p.statusBar()));
        QCOMPARE(p.form->findChild<QLabel*>("statusText")->toolTip().count('\n'), 5);
        // notes.txt and the export are no logs.
        QCOMPARE(caption(), "Velmora 2004 - drive.txt and 2 more logs");
        QCOMPARE(text(p.form.get(), "Label3"), "22");
        QVERIFY(p.statusBar().contains("2 files skipped: not survey logs"));
        // Recent Logs keeps the folder, kept between runs, to open it again as it was opened.
        p.trigger("CloseFile");
        const QString folderEntry =
            "&1 " + QDir::toNativeSeparators(p.logs.path()) + " (folder and subfolders)";
        QCOMPARE(Program().form->findChild<QAction*>("RecentLog1")->text(), folderEntry);
        p.action("RecentLog1")->trigger();
        QCOMPARE(caption(), "Velmora 2004 - drive.txt and 2 more logs");
        QCOMPARE(text(p.form.get(), "Label3"), "22");

        // The tooltip lists thirty logs at most, then how many more there are.
        for (int k = 0; k < 31; ++k) writeAll(p.logs.filePath(QString("%1.txt").arg(k)), other);
        FileDialog::scriptNextFiles({p.logs.path()});
        p.trigger("AddLogs");
        QCOMPARE(p.form->centralWidget()->toolTip().section('\n', 30), "and 7 more logs");

        // One log alone opens as Open File does, also a name that is not valid UTF-8.
        p.trigger("CloseFile");
        const std::filesystem::path latin1 = corePath(p.logs.path()) / "r\xe9sum\xe9.txt";
        test::writeFile(latin1, driveLog(true));
        // A file manager's drop names a file by its bytes.
        const QByteArray bytes = QByteArray::fromStdString(latin1.string());
        drop(p.form.get(), {QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"))});
        QCOMPARE(text(p.form.get(), "Label14"), "NS1 Summary Export");
        QCOMPARE(caption(), "Velmora 2004 - " + shownPath(latin1.filename()));

        // A folder dropped opens as Open Folder opens it with its subfolders, and is kept too.
        p.trigger("CloseFile");
        QVERIFY(QDir(p.logs.path()).mkpath("dropped/sub"));
        writeAll(p.logs.filePath("dropped/sub/drive.txt"), driveLog());
        drop(p.form.get(), {url("dropped")});
        QCOMPARE(caption(), "Velmora 2004 - drive.txt");
        QCOMPARE(p.action("RecentLog1")->text(),
                 "&1 " + QDir::toNativeSeparators(p.logs.filePath("dropped")) +
                     " (folder and subfolders)");
    }

    // Logs added while the Advanced windows and the map are loaded show in them: a shown
    // window is made again from the survey, a hidden one is unloaded, the map reads it again.
    void loadedWindowsFollowAnAdd() {
        Program p;
        p.load();
        QWidget* moved = p.show("Form3");
        moved->move(moved->pos() + QPoint(37, 23));
        const QRect place = moved->geometry();
        p.show("Form4")->hide();
        p.trigger("Map");
        const auto* map = p.form->findChild<MapWindow*>("MapWindow");
        QVERIFY(map && !entries(p.window("Form4")).contains("CAFE"));
        const std::size_t before = map->sightings().size();
        writeAll(p.logs.filePath("more.txt"),
                 test::textLog(
                     {test::dataLine("S 11.5", "W 21.75", "cafe", "00:0a:95:00:00:07", "0011")}));
        FileDialog::scriptNextFiles({p.logs.filePath("more.txt")});
        p.trigger("AddLogs");
        const QWidget* macs = p.window("Form3");
        QVERIFY(macs && macs->isVisible());
        QCOMPARE(macs->geometry(), place);
        QVERIFY(entries(p.window("Form3")).join(' ').contains("00:0A:95:00:00:07"));
        // The hidden one is unloaded: its next use reads the survey.
        QVERIFY(!p.window("Form4"));
        QVERIFY(entries(p.show("Form4")).contains("CAFE"));
        map = p.form->findChild<MapWindow*>("MapWindow");
        QVERIFY(map && map->isVisible());
        QCOMPARE(map->sightings().size(), before + 1);
    }

    // Most recent first, none twice, eight kept, a missing one disabled, kept between runs; the
    // open dialog starts in the last log's folder (home at first) and offers the log types.
    void recentLogsAndOpenDialog() {
        Program p;
        QCOMPARE(recentEntries(p), QStringList{"-(none)"});
        p.open("");
        QCOMPARE(FileDialog::lastStartFolder(), QDir::homePath());
        QCOMPARE(FileDialog::lastFilters(),
                 QStringList({"Survey logs (*.txt *.TXT *.ns1 *.NS1 *.csv *.CSV *.gz *.GZ)",
                              "All files (*)"}));
        QCOMPARE(FileDialog::lastStartFilter(), 0);

        const QTemporaryDir other;
        for (int i = 1; i <= 10; ++i) {
            const QString log = i == 10 ? QDir(other.path()).filePath("log10.txt")
                                        : p.logs.filePath(QStringLiteral("log%1.txt").arg(i));
            writeAll(log, driveLog());
            // The third one opened from the list, the others through the dialog.
            i == 3 ? void(p.form->openLog(log)) : p.open(log);
            QVERIFY(p.form->isLoaded());
            if (i == 6) {  // the list is disabled while Loaded
                QVERIFY(!p.action("RecentLogs")->isEnabled());
                p.action("RecentLog2")->trigger();
                QCOMPARE(p.form->windowTitle(), "Velmora 2004 - log6.txt");
            }
            p.trigger("CloseFile");
        }
        // A rejected log is not listed.
        writeAll(p.logs.filePath("bad.txt"), "not a log\r\n");
        p.open(p.logs.filePath("bad.txt"));
        const QStringList eight = {"log10.txt", "log9.txt", "log8.txt", "log7.txt",
                                   "log6.txt",  "log5.txt", "log4.txt", "log3.txt"};
        QCOMPARE(recentEntries(p), eight);
        FileDialog::clearScript();
        p.trigger("CloseFile");
        p.form->commonDialog1().setFileName({});
        p.open("");
        QCOMPARE(canonical(FileDialog::lastStartFolder()), canonical(other.path()));

        // Opening one again moves it to the top; one that is gone shows disabled.
        p.action("RecentLog4")->trigger();
        QCOMPARE(p.form->windowTitle(), "Velmora 2004 - log7.txt");
        p.trigger("CloseFile");
        QVERIFY(QFile::remove(p.logs.filePath("log9.txt")));
        const QStringList expected = {"log7.txt", "log10.txt", "-log9.txt", "log8.txt",
                                      "log6.txt", "log5.txt",  "log4.txt",  "log3.txt"};
        QCOMPARE(recentEntries(p), expected);
        // Kept for the next run, which checks again what is missing.
        const QString logs = p.logs.path();
        Program next;
        QCOMPARE(recentEntries(next), expected);
        next.action("RecentLog3")->trigger();  // disabled: nothing
        QVERIFY(!next.form->isLoaded());
        next.action("RecentLog1")->trigger();
        QCOMPARE(next.form->windowTitle(), "Velmora 2004 - log7.txt");
        QVERIFY(QDir(logs).exists());
    }

    // An export says on the status bar what it wrote, with a link to its folder; a failure
    // names the file and the reason. Label1 keeps its own texts.
    void statusBarAfterExports() {
        Program p;
        p.load();
        p.trigger("Convertall");
        const QString logs = canonical(p.logs.path());
        QCOMPARE(p.statusBar(),
                 "Wrote 11 sightings to " + QDir(p.logs.path()).filePath("FullConvert_drive.txt"));
        QCOMPARE(p.status(), "Full Convert Complete!");
        const QString link = p.statusLink();
        QCOMPARE(canonical(QUrl(link).toLocalFile()), logs);
        emit p.form->findChild<QLabel*>("openFolder")->linkActivated(link);
        QCOMPARE(Shell::calls().size(), 1);
        QVERIFY(Shell::calls()[0].kind == Shell::Call::Kind::OpenUrl &&
                canonical(QUrl(Shell::calls()[0].target).toLocalFile()) == logs);
        // Where no file manager takes it, the status bar says so and names the folder.
        Shell::failNextOpen();
        emit p.form->findChild<QLabel*>("openFolder")->linkActivated(link);
        QCOMPARE(p.statusBar(), "No file manager is set up to open folders. The folder is " +
                                    QUrl(link).toLocalFile());

        // One pin per access point counts access points.
        p.trigger("OnePinPerAP");
        p.trigger("Sort1");
        const QString locked = QDir(p.logs.path()).filePath("LOCKED_drive.txt");
        QCOMPARE(p.statusBar(), "Wrote 2 access points to " + locked);

        // A failure: the export's name is a folder.
        QVERIFY(QDir(p.logs.path()).mkdir("UNLOCKED_drive.txt"));
        p.trigger("Sort2");
        QVERIFY(oneBox("UNLOCKED_drive.txt: "));
        QCOMPARE(p.statusBar(), "Export failed: " + MessageBox::shown().first().text +
                                    ". Exports go to " + QDir::currentPath() +
                                    ": choose another folder with File > Export Folder...");
        QVERIFY(p.statusLink().isEmpty() && p.status() == "Quick Sort 1 Done!");
        // File > Export Folder... moves the main exports elsewhere.
        const QTemporaryDir other;
        scriptExportFolder(std::nullopt);
        p.trigger("ExportFolder");
        QVERIFY(p.statusBar().startsWith("Export failed"));
        scriptExportFolder(other.path());
        p.trigger("ExportFolder");
        QCOMPARE(p.statusBar(), "Exports go to " + QDir::currentPath());
        p.trigger("Sort2");
        QVERIFY(QFile::exists(QDir(other.path()).filePath("UNLOCKED_drive.txt")));

        // An Advanced window's export reports the same way.
        p.trigger("OnePinPerAP");
        p.trigger("CloseFile");
        QWidget* w = p.loadAndShow("Form2");
        pick(w, "HOME");
        p.save(w, "chosen.txt");
        QCOMPARE(p.statusBar(),
                 "Wrote 3 sightings to " + QDir(p.logs.path()).filePath("chosen.txt"));
        QCOMPARE(exportWrittenText({"/d/f", 1234567, false}), "Wrote 1,234,567 sightings to /d/f");
    }

    // The busy cursor shows while an export runs and is gone when it fails; the outcome
    // reaches the status bar's reporter before the error box.
    void busyCursorAroundAFailedExport() {
        bool busy = false;
        int boxesWhenReported = -1;
        const bool done = writeReportedExport(
            nullptr,
            [&]() -> ExportWritten {
                busy = QApplication::overrideCursor() &&
                       QApplication::overrideCursor()->shape() == Qt::WaitCursor;
                throw FileError("/d/f.txt", "Disk full");
            },
            [&](const ExportOutcome& o) {
                QCOMPARE(o.failure, "/d/f.txt: Disk full");
                boxesWhenReported = static_cast<int>(MessageBox::shown().size());
            });
        QVERIFY(busy && !done && !QApplication::overrideCursor());
        QVERIFY(boxesWhenReported == 0 && oneBox("/d/f.txt: Disk full"));
    }

    void helpWindowFollowsLinks() {
        const QTemporaryDir pages;
        writeAll(QDir(pages.path()).filePath("index.html"),
                 "<html><body><p><a href=\"second.html#part\">second</a> "
                 "<a href=\"https://127.0.0.1/elsewhere\">web</a></p></body></html>");
        writeAll(QDir(pages.path()).filePath("second.html"),
                 "<html><body><p>Second page</p><h2 id=\"part\">Part</h2></body></html>");
        QWidget owner;
        HelpWindow help(&owner, QUrl::fromLocalFile(QDir(pages.path()).filePath("index.html")));
        QTextBrowser* browser = help.browser();
        emit browser->anchorClicked(QUrl("https://127.0.0.1/elsewhere"));
        QVERIFY(browser->source().fileName() == "index.html" && Shell::calls().size() == 1);
        QCOMPARE(Shell::calls()[0].target, "https://127.0.0.1/elsewhere");
        emit browser->anchorClicked(QUrl("second.html#part"));
        QCOMPARE(browser->source().fileName(), "second.html");
        QVERIFY(browser->toPlainText().contains("Second page") && Shell::calls().size() == 1);
        browser->backward();
        QCOMPARE(browser->source().fileName(), "index.html");

        HelpWindow missing(&owner, QUrl::fromLocalFile(QDir(pages.path()).filePath("gone.html")));
        QVERIFY(missing.browser()->toPlainText().contains("not installed"));
    }

    // The status bar's texts: a long folder loses its middle, the file name stays whole, a text
    // too long for one line takes more, the link stays whole, all within the fixed width.
    void statusBarKeepsFileNameAndLinkWhole_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<QString>("log");
        QTest::newRow("short") << 0 << "d.txt";
        QTest::newRow("long folder") << 6 << "drive-text.txt";
        QTest::newRow("long name") << 1 << QString(70, 'n') + "-drive.txt";
    }
    void statusBarKeepsFileNameAndLinkWhole() {
        QFETCH(int, depth);
        QFETCH(QString, log);
        Program p;
        p.form->show();
        const int width = p.form->width();
        QString folder = p.logs.path();
        for (int i = 0; i < depth; ++i) folder += QStringLiteral("/a-long-folder-name-%1").arg(i);
        QVERIFY(QDir().mkpath(folder));
        writeAll(folder + "/" + log, driveLog());
        p.open(folder + "/" + log);
        p.trigger("Sort2");
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        const auto* line = p.form->findChild<StatusLine*>("statusText");
        const auto* link = p.form->findChild<QLabel*>("openFolder");
        const QRect bar(QPoint(), p.form->statusBar()->size());
        QVERIFY(line->shownLines().join("").contains("UNLOCKED_" + log));
        for (const QString& shown : line->shownLines())
            QVERIFY2(line->fontMetrics().horizontalAdvance(shown) <= line->contentsRect().width(),
                     qPrintable(shown));
        QVERIFY(line->height() >= line->shownLines().size() * line->fontMetrics().lineSpacing());
        QVERIFY(bar.contains(line->geometry()) && bar.contains(link->geometry()));
        QVERIFY(link->isVisible() && link->width() >= link->sizeHint().width() &&
                !link->geometry().intersects(line->geometry()));
        QVERIFY(p.form->rect().contains(p.form->statusBar()->geometry()));
        QCOMPARE(p.form->width(), width);
    }

    // A later copy on the same working folder learns where the first one's window is and
    // brings it forward; with the first gone it is told so, and the next copy answers.
    void copiesOnOneFolderFindEachOther() {
        const QTemporaryDir folder, elsewhere;
        auto first = std::make_unique<OtherCopy>(folder.path(), [] { return QPoint(70, 80); });
        OtherCopy second(folder.path(), {}), apart(elsewhere.path(), {});
        QVERIFY(first->isFirst() && !second.isFirst() && apart.isFirst());
        QSignalSpy place(&second, &OtherCopy::placeAnswered);
        QSignalSpy raised(first.get(), &OtherCopy::forwardRequested);
        QSignalSpy answered(&second, &OtherCopy::forwardAnswered);
        second.askPlace();
        QVERIFY(place.wait(300));
        QCOMPARE(place[0][0].toPoint(), QPoint(70, 80));
        second.bringForward();
        QTRY_VERIFY_WITH_TIMEOUT(raised.size() == 1 && answered.size() == 1, 500);
        QVERIFY(answered[0][0].toBool());
        first.reset();
        second.bringForward(200);
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 2, 500);
        QVERIFY(!answered[1][0].toBool());
        QVERIFY(OtherCopy(folder.path(), {}).isFirst());
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
