// SPDX-License-Identifier: GPL-3.0-or-later
// Form1 with its Help menu (the about box frmAbout, the help page) and the Advanced windows.
#include "support/ui_test_support.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/file_names.h"
#include "ui/frmAbout.h"
#include "ui/help_window.h"

using namespace velmora::uitest;

const QString kNone = "No AP Selected To Export";
// clang-format off
// The log loaded ("": none; "bad": one whose format line is wrong; "folder": a good one while
// output1 is a folder), whether Close File follows, the menu items enabled, Label1, Label14.
const struct State {
    const char *name, *log; bool close; const char *enabled, *status, *type;
} kStates[] = {
    {"start", "", false, "Openoptn OpenFolder APName MACAddress AdvanceCriteria", "", ""},
    {"text", "text", false, "AddLogs Convertall CloseFile QuickSort advanced MACAddress AdvanceCriteria",
     "Processing Done!", "NS1 Text Export"},
    {"summary", "summary", false, "AddLogs Convertall CloseFile QuickSort advanced APName AdvanceCriteria",
     "Processing Done!", "NS1 Summary Export"},
    {"text, closed", "text", true, "Openoptn OpenFolder MACAddress AdvanceCriteria",
     "Information Unloaded", "NS1 Text Export"},
    {"bad format line", "bad", false, "Openoptn OpenFolder APName MACAddress AdvanceCriteria",
     "Bad File - Try Again", ""},
    {"output1 is a folder", "folder", false, "Openoptn OpenFolder APName MACAddress AdvanceCriteria",
     "Working File Error - Check Folder", ""}};

// An export of the List2 entry (in MAC mode of the List1 pick, "": none) answered with
// out/<answer>; ".txt" is added where no extension was typed. lines: columns 3 and 5. given:
// the same export from a window built on paths of its own, and the label that then shows the
// vendor ("": none; nullptr: not done).
template <typename W>
QWidget* make(QWidget& owner, AdvancedWindowPaths paths) {
    return new W(owner, std::move(paths));
}
const struct Export {
    const char *name, *window, *entry, *mac, *answer, *proposed, *lines, *given;
    QWidget* (*make)(QWidget&, AdvancedWindowPaths);
} kExports[] = {
    {"Form2 group", "Form2", "HOME", nullptr, "chosen.txt", "AP-HOME.TXT",
     "HOME;00:0a:95:00:00:01 HOME;00:0A:95:00:00:01 HOME;00:0a:95:00:00:02", "", make<Form2>},
    {"Form3 any name", "Form3", "00:0A:95:00:00:01 - OTHER", nullptr, "MAC_000A95000001",
     "MAC_000A95000001", "home;00:0A:95:00:00:01 Home;00:0A:95:00:00:01 other;00:0A:95:00:00:01",
     "Label2", make<Form3>},
    {"Form4 MAC", "Form4", "HOME", "00:0A:95:00:00:01", "m.TXT", "Custom_MAC_000A95000001.TXT",
     "HOME;00:0A:95:00:00:01 HOME;00:0A:95:00:00:01 OTHER;00:0A:95:00:00:01", "Label1",
     make<Form4>},
    {"Form4 MAC, none selected", "Form4", "HOME", "", "n.TXT", "Custom_MAC_.TXT", "", nullptr,
     nullptr}};

// A List2 pick, then a button clicked (or "empty": output1 emptied before the window loads);
// answer "": cancelled; box: an information box's text (a failed write: the faults' test).
const struct Refusal {
    const char *name, *window, *entry, *before, *answer; bool dialog; QString box;
} kRefusals[] = {
    {"Form2 nothing selected", "Form2", "", nullptr, "x.txt", false, kNone},
    {"Form2 cancelled", "Form2", "HOME", nullptr, "", true, kNone},  // the windows share it
    {"Form2 empty working file", "Form2", "", "empty", "x.txt", false, kNone},
    {"Form3 nothing selected", "Form3", "", nullptr, "x.txt", false, ""},
    {"Form4 nothing selected", "Form4", "", nullptr, "x.txt", false, ""},
    {"Form4 no record matches", "Form4", "A/B", "Option1", "x.txt", false, ""}};

// label: re-picking `row` when shown again; reloaded: in a new window, vlident.txt gone/a folder.
const struct Lifecycle { const char *name, *label; int row; bool folder; const char* reloaded; }
kLifecycles[] = {
    {"Form2", "Label1", 2, false, "Unique AP's in Group List : 2"},
    {"Form3", "Label2", 5, true, "Not Found In Database"},
    {"Form4", "Label2", 2, false, "Matching Records:2"}};
// The criteria window after each step of one sequence: the step (a List2 or List1 pick, an
// option (1 BBS, 2 Ad-Hoc, 3 either type, 4 WEP on, 5 off, 6 either, 7 AP name mode, 8 MAC
// mode), or "hide, show": Close Advanced, then the menu item); then the checked type, WEP and
// mode ("MAC": List1, Frame4 and Label1 enabled and shown, List2 not; "name": the reverse), the
// List2|List1 selections and List1's entries (MAC addresses by their last byte, all else being
// 00:0A:95:00:00), whether Label1 shows the vendor, and the matching records Label2 counts.
const struct Form4Step {
    const char *name, *type, *wep, *mode, *selected, *list1; bool vendor; int matching;
} kForm4Steps[] = {
    {"loaded", "both", "both", "name", "|", "", false, 0},
    {"List2 HOME", "both", "both", "name", "HOME|", "01 02", false, 2},
    {"Option1", "BBS", "both", "name", "HOME|", "01", false, 1},
    {"Option8", "BBS", "both", "MAC", "HOME|", "01", false, 1},
    {"List1 01", "BBS", "both", "MAC", "HOME|01", "01", true, 1},
    // A recount in MAC mode uses List2's kept entry, drops List1's pick, keeps the vendor.
    {"Option3", "both", "both", "MAC", "HOME|", "01 02", true, 2},
    {"Option5", "both", "off", "MAC", "HOME|", "02", true, 1},
    {"Option7", "both", "off", "name", "HOME|", "02", false, 1},
    {"hide, show", "both", "off", "name", "HOME|", "02", false, 1},
    {"Option4", "both", "on", "name", "HOME|", "01", false, 1},
    {"Option8 again", "both", "on", "MAC", "HOME|", "01", false, 1},
    {"List1 01 again", "both", "on", "MAC", "HOME|01", "01", true, 1},
    {"Option7 again", "both", "on", "name", "HOME|01", "01", false, 1}};
// clang-format on

class WindowsTest : public QObject, Ui {
    Q_OBJECT

  private slots:
    void init() { freshSeams(); }

    void states_data() { rows(kStates); }
    void states() {
        const State& s = fetch(kStates);
        const QString log = s.log;
        Program p;
        if (log == "folder") QVERIFY(QDir(p.app.path()).mkpath("output1/kept"));
        if (log == "bad") p.load("#\r\n# $Format: wi-scan with extensions \r\n");
        if (log != "bad" && !log.isEmpty()) p.load(driveLog(log == "summary"));
        if (s.close) p.trigger("CloseFile");
        const bool loaded = p.status() == "Processing Done!";
        QCOMPARE(p.form->windowTitle(), loaded ? "Velmora 2004 - drive.txt" : "Velmora 2004");
        QCOMPARE(p.status() + " | " + text(p.form.get(), "Label14"),
                 QString(s.status) + " | " + s.type);
        QVERIFY(MessageBox::shown().isEmpty() && p.form->isLoaded() == loaded);
        QStringList enabled;
        for (const char* item :
             {"Openoptn", "OpenFolder", "AddLogs", "Convertall", "CloseFile", "QuickSort",
              "advanced", "APName", "MACAddress", "AdvanceCriteria"})
            if (p.action(item)->isEnabled()) enabled << item;
        QCOMPARE(enabled.join(' '), s.enabled);
        for (int n : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 0}) {  // 0: Picture1
            const QString name = n ? QStringLiteral("Label%1").arg(n) : "Picture1";
            const bool shown = p.form->findChild<QWidget*>(name)->isVisibleTo(p.form.get());
            QVERIFY2(shown == (loaded == (n > 0)), qPrintable(name));
        }
        QCOMPARE(QFileInfo(p.output1()).isFile(), loaded);
    }

    void openDialogCancelsAndNames() {
        Program p;
        p.open("");
        QVERIFY(p.status().isEmpty() && !p.form->isLoaded() && !QFile::exists(p.output1()));
        // A rejected choice stays in the dialog: a cancel reads it again, by now a log.
        const QString log = p.logs.filePath("later.txt");
        writeAll(log, "nothing\r\n");
        p.open(log);
        QCOMPARE(p.status(), "Bad File - Try Again");
        writeAll(log, driveLog());
        p.open("");
        QCOMPARE(p.form->windowTitle(), "Velmora 2004 - later.txt");
        // Close File forgets the file: the next cancel changes nothing.
        p.trigger("CloseFile");
        p.open("");
        QVERIFY(FileDialog::lastProposedName().isEmpty() && p.status() == "Information Unloaded");
        QVERIFY(!p.form->isLoaded() && !QFile::exists(p.output1()));
        // The dialog hands over names as text: one whose bytes no text holds cannot be opened
        // from it, which is said rather than that the file is missing; the folder stays free
        // for the next, whose name shows in the file system's encoding (UTF-8), not by bytes.
        test::writeFile(corePath(p.logs.path()) / "caf\xe9.txt", driveLog());
        p.open(p.logs.filePath("caf" + QString(QChar::ReplacementCharacter) + ".txt"));
        QVERIFY(!p.form->isLoaded() && p.status() == "File Not Readable - Try Again");
        QVERIFY2(p.statusBar().contains("not valid UTF-8, so it cannot be opened "
                                        "from here: name it on the command line"),
                 qPrintable(p.statusBar()));
        const QString name = QString::fromUtf8("my drive \xc3\xa9.txt");
        writeAll(p.logs.filePath(name), driveLog());
        p.open(p.logs.filePath(name));
        QCOMPARE(p.form->windowTitle(), "Velmora 2004 - " + name);
        QVERIFY(QDir(p.logs.path()).mkpath("FullConvert_" + name + "/kept"));
        p.trigger("Convertall");
        QVERIFY(oneBox("/FullConvert_" + name + ": "));
    }

    void shortcutsAndExports() {
        Program p;
        p.form->show();
        QVERIFY(QTest::qWaitForWindowActive(p.form.get()));
        // Idle: the Quick Sort menu is disabled, so its keys do nothing; Ctrl+C and Copy Counts
        // neither.
        QApplication::clipboard()->setText("before");
        QTest::keyClick(p.form.get(), Qt::Key_F2);
        QTest::keyClick(p.form.get(), Qt::Key_C, Qt::ControlModifier);
        p.trigger("CopyCounts");
        QVERIFY(Beep::count() == 0 && p.status().isEmpty());
        QVERIFY(!p.action("CopyCounts")->isEnabled() &&
                QApplication::clipboard()->text() == "before");
        // Copy Counts copies the six counts; a full convert does not beep, a quick sort (here
        // by its key) does.
        p.load();
        QVERIFY(p.form->centralWidget()->actions().contains(p.action("CopyCounts")));
        p.trigger("CopyCounts");
        QCOMPARE(QApplication::clipboard()->text(),
                 "Total Number Of Source Entries: 11\nNon-GPS Dropped Entries: 0\n"
                 "WEP OFF Entries: 2\nWEP ON Entries: 9\nAP Locatiions: 8\nAd-Hoc Locations: 2\n");
        p.trigger("Convertall");
        QVERIFY(p.status() == "Full Convert Complete!" && Beep::count() == 0);
        QTest::keyClick(p.form.get(), Qt::Key_F3);
        QVERIFY(p.status() == "Quick Sort 2 Done!" && Beep::count() == 1);
        QTest::keyClick(p.form.get(), Qt::Key_C, Qt::ControlModifier);  // Close File
        QVERIFY(p.status() == "Information Unloaded" && !QFile::exists(p.output1()) &&
                !QFile::exists(p.output1() + ".extras"));
    }

    void exitAndWindowCloseEnd() {
        for (int i = 0; i < 4; ++i) {
            const bool load = i & 1, byMenu = i & 2;
            Program p;
            p.form->show();
            load ? p.load() : writeAll(p.output1(), "left,behind\r\n");  // idle: goes all the same
            QSignalSpy ended(p.form.get(), &Form1::ended);
            byMenu ? p.trigger("Exit") : void(p.form->close());
            QVERIFY2(ended.count() == 1 && !p.form->isVisible(), byMenu ? "Exit" : "close");
            QVERIFY(!QFile::exists(p.output1()) && !QFile::exists(p.output1() + ".lock") &&
                    !QFile::exists(p.output1() + ".extras"));
        }
    }

    void secondCopyCannotLoad() {
        Program first, second(first.app.path());
        first.load();
        const QByteArray working = readAll(first.output1());
        int asked = 0;  // the status bar offers to bring the other copy forward
        second.form->onShowOtherCopy = [&] { ++asked; };
        second.load(driveLog(true));
        QCOMPARE(second.status(), "File In Use - Close Other Copy");
        QVERIFY(!second.form->isLoaded() && second.action("Openoptn")->isEnabled());
        emit second.form->findChild<QLabel*>("openFolder")->linkActivated(second.statusLink());
        QCOMPARE(asked, 1);
        // An idle copy that ends leaves the other copy's working file alone.
        second.trigger("Exit");
        QCOMPARE(readAll(first.output1()), working);
        // The batch tool takes the same lock: it finds the folder in use while a copy holds
        // it, and free once Close File lets it go.
        WorkingFolderLock batch(first.form->workingFiles());
        QVERIFY(batch.tryLock() == WorkingFolderLock::Status::InUse);
        first.trigger("CloseFile");
        QVERIFY(batch.tryLock() == WorkingFolderLock::Status::Held);
        batch.unlock();
    }

    // One modeless box: its update button starts xdg-open on a configured update page,
    // reporting a failed start, and on a placeholder page (example.org) says there is none to
    // open; OK, Enter, Esc, close unload it. Meanwhile Content opens the help page, loaded or not.
    void aboutBoxAndHelp() {
        const QString updates = "https://updates.velmora.test/";
        Program p;
        QPointer<QWidget> box = p.show("frmAbout");
        QVERIFY(p.show("frmAbout") == box &&
                p.form->findChildren<QWidget*>("frmAbout").size() == 1);
        QVERIFY(box->isVisible() && !QApplication::activeModalWidget());
        QCOMPARE(box->windowTitle() + "|" + text(box, "lblTitle") + "|" + text(box, "lblVersion"),
                 "About Velmora2004_Pre_Release|Velmora 2004 Pre-Release|Version 2004.4.6");
        const QString placeholder = "https://velmora2004.example.org/updates/";
        for (const QString failure : {"", "execvp: No such file or directory", "placeholder"}) {
            MessageBox::clearShown();
            Shell::clearCalls();
            const bool real = failure != "placeholder";
            if (real && !failure.isEmpty()) Shell::failNextStart(failure);
            qobject_cast<frmAbout*>(box.data())->setUpdatePage(QUrl(real ? updates : placeholder));
            click(box, "Command1");
            const Shell::Call start = Shell::calls().value(0);
            QCOMPARE(start.target + " " + start.arguments.join(""),
                     real ? "xdg-open " + updates : " ");
            QVERIFY(failure.isEmpty() ? MessageBox::shown().isEmpty()
                    : real            ? oneBox(failure)
                           : oneBox("has no update address", MessageBox::Kind::Information));
        }
        // Each way unloads it: shown again, it is a new box.
        for (const QString how : {"OK", "Enter", "Esc", "close"}) {
            box->findChild<QPlainTextEdit*>("Text1")->setPlainText("changed");
            auto* ok = box->findChild<QPushButton*>("cmdOK");
            if (how == "OK") QTest::mouseClick(ok, Qt::LeftButton);
            if (how == "Enter" || how == "Esc")
                QTest::keyClick(ok, how == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
            if (how == "close") box->close();
            QVERIFY2(!p.window("frmAbout") && !box, qPrintable(how));
            box = p.show("frmAbout");
            QVERIFY(box->findChild<QPlainTextEdit*>("Text1")->toPlainText().startsWith("Velmora"));
        }
        Shell::clearCalls();
        p.trigger("content");
        p.load();
        p.trigger("content");
        const auto helpWindows = p.form->findChildren<HelpWindow*>("HelpWindow");
        QVERIFY(Shell::calls().isEmpty() && helpWindows.size() == 1);
        QTextBrowser* help = helpWindows[0]->browser();
        QCOMPARE(help->source().toLocalFile(),
                 QDir(QCoreApplication::applicationDirPath()).filePath("help.html"));
        // Every picture of the page stands in a block of its own, no wider than the window.
        helpWindows[0]->resize(420, 500);
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
        int pictures = 0;
        for (QTextBlock b = help->document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (const QTextCharFormat f = it.fragment().charFormat(); f.isImageFormat()) {
                    ++pictures;
                    QCOMPARE(b.text(), QString(QChar::ObjectReplacementCharacter));
                    QVERIFY2(f.toImageFormat().width() <= help->viewport()->width(),
                             qPrintable(f.toImageFormat().name()));
                }
        QVERIFY(pictures >= 5);
        p.trigger("CloseFile");
        QVERIFY(p.status() == "Information Unloaded" && p.window("frmAbout") == box);
    }

    // Which controls the two modes enable and show, and what each list and label holds.
    void form4ModesStateTable() {
        Program p;
        QPointer<QWidget> w = p.loadAndShow("Form4");
        const auto on = [&](const char* name) { return w->findChild<QWidget*>(name); };
        const auto checked = [&](int first, const QStringList& names) {
            for (int k = 0; k < names.size(); ++k)
                if (on(qPrintable(QStringLiteral("Option%1").arg(first + k)))
                        ->property("checked")
                        .toBool())
                    return names[k];
            return QStringLiteral("none");
        };
        // The mode checked, or "mixed" where the lists and frames do not follow it.
        const auto mode = [&] {
            const bool mac = checked(7, {"name", "MAC"}) == "MAC";
            const bool follow =
                list(w)->isEnabled() != mac && list(w, "List1")->isEnabled() == mac &&
                on("Frame4")->isVisibleTo(w) == mac && on("Label1")->isVisibleTo(w) == mac;
            return follow ? QString(mac ? "MAC" : "name") : QStringLiteral("mixed");
        };
        // MAC addresses by their last byte.
        const auto shortly = [](QString macs) { return macs.remove("00:0A:95:00:00:"); };
        for (const Form4Step& step : kForm4Steps) {
            const QString act = QString(step.name).remove(" again");
            if (act.startsWith("List2")) pick(w, act.section(' ', 1));
            if (act.startsWith("List1")) pick(w, "00:0A:95:00:00:" + act.section(' ', 1), "List1");
            if (act.startsWith("Option")) click(w, qPrintable(act));
            if (act == "hide, show") {
                click(w, "Command2");
                QVERIFY(w->isHidden() && p.show("Form4") == w);
            }
            // One line a step, so that a difference names its step.
            const QStringList state = {
                step.name,
                checked(1, {"BBS", "Ad-Hoc", "both"}),
                checked(4, {"on", "off", "both"}),
                mode(),
                list(w)->selectedText() + '|' + shortly(list(w, "List1")->selectedText()),
                shortly(entries(w, "List1").join(' ')),
                text(w, "Label1"),
                text(w, "Label2")};
            const QString vendor = step.vendor ? " Example Corp" : "";
            QCOMPARE(
                state.join(" / "),
                QStringList({step.name, step.type, step.wep, step.mode, step.selected, step.list1,
                             vendor, QStringLiteral("Matching Records:%1").arg(step.matching)})
                    .join(" / "));
            QVERIFY2(w->isVisible(), step.name);
        }
        // A key recounts the entry selected as it goes down, and again for the entry it moves to
        // (what each criterion counts is the core's: DistinctLists).
        click(w, "Option6");
        QList<int> seen;  // List1's count at each recount
        connect(list(w, "List1")->model(), &QAbstractItemModel::modelReset, this,
                [&] { seen << list(w, "List1")->count(); });
        QTest::keyClick(list(w), Qt::Key_Shift);
        QTest::keyClick(list(w), Qt::Key_Down);  // HOME, then OFFICE
        QCOMPARE(seen, QList<int>({2, 2, 1}));
        // A MAC address the vendor list lacks.
        pick(w, "A/B");
        click(w, "Option8");
        pick(w, "77:66:55:44:33:22", "List1");
        QCOMPARE(text(w, "Label1"), "Not Found");
    }

    void exports_data() { rows(kExports); }
    void exports() {
        const Export& e = fetch(kExports);
        Program p;
        QWidget* w = p.loadAndShow(e.window);
        const QString answer = "out/" + QString(e.answer);
        const QString file = p.logs.filePath(answer + (answer.contains('.') ? "" : ".txt"));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        pick(w, e.entry);
        if (e.mac) click(w, "Option8");
        if (e.mac && *e.mac) pick(w, e.mac, "List1");
        p.save(w, answer);
        // The dialog opens where the main window's exports go: the loaded log's folder.
        QCOMPARE(canonical(FileDialog::lastStartFolder()), canonical(p.logs.path()));
        QCOMPARE(FileDialog::lastProposedName(), e.proposed);
        QCOMPARE(exported(file), e.lines);
        QVERIFY(MessageBox::shown().isEmpty() && list(w)->selectedText() == e.entry);
        // Once opened at the file system's root. The next one opens where the last save went;
        // pressing Save on the offered name writes it there.
        const QString folder = QFileInfo(file).path(), offered = QFileInfo(e.proposed).fileName();
        const QString second =
            QDir(folder).filePath(offered) + (QFileInfo(offered).suffix().isEmpty() ? ".txt" : "");
        QVERIFY(QFile::remove(file));
        FileDialog::scriptAcceptOffered();
        click(w, "Command1");
        QCOMPARE(canonical(FileDialog::lastStartFolder()), canonical(folder));
        QCOMPARE(exported(second), e.lines);
        QVERIFY(MessageBox::shown().isEmpty());
        if (!e.given) return;
        // A window reads the working file and vendor list it is given and opens its save dialog
        // in the export folder it is given.
        const QTemporaryDir elsewhere, exports;
        const QString work = QDir(elsewhere.path()).filePath("work"),
                      vendors = QDir(elsewhere.path()).filePath("vendors");
        QVERIFY(QFile::rename(p.output1(), work));
        writeAll(vendors, "00:0A:95 Elsewhere Inc\r\n");
        w = e.make(*p.form,
                   {corePath(work), corePath(vendors), [&] { return corePath(exports.path()); }});
        pick(w, e.entry);
        if (e.mac) click(w, "Option8"), pick(w, e.mac, "List1");
        if (*e.given) QCOMPARE(text(w, e.given).trimmed(), "Elsewhere Inc");
        FileDialog::scriptAcceptOffered();
        click(w, "Command1");
        QCOMPARE(canonical(FileDialog::lastStartFolder()), canonical(exports.path()));
        QCOMPARE(QDir(exports.path()).entryList(QDir::Files),
                 QStringList{QFileInfo(second).fileName()});
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void refusalsWriteNothing_data() { rows(kRefusals); }
    void refusalsWriteNothing() {
        const Refusal& r = fetch(kRefusals);
        Program p;
        p.load(driveLog(r.window == QString("Form2")));
        if (r.before == QString("empty")) QFile(p.output1()).resize(0);
        QWidget* w = p.show(r.window);
        if (*r.entry) pick(w, r.entry);
        if (QString(r.before).startsWith("Option")) click(w, r.before);
        const QStringList files = QDir(p.logs.path()).entryList();
        p.save(w, r.answer);
        QCOMPARE(FileDialog::scriptedLeft(), r.dialog ? 0 : 1);
        QCOMPARE(QDir(p.logs.path()).entryList(), files);
        QVERIFY(r.box.isEmpty() ? MessageBox::shown().isEmpty()
                                : oneBox(r.box, MessageBox::Kind::Information));
    }

    // Close Advanced hides a window as it was; its own close control unloads it, and the menu
    // loads it afresh, reading vlident.txt again; Close File unloads it, before output1 goes.
    void hideShowCloseAndUnload_data() { rows(kLifecycles); }
    void hideShowCloseAndUnload() {
        const Lifecycle& l = fetch(kLifecycles);
        Program p;
        QPointer<QWidget> w = p.loadAndShow(l.name);
        list(w)->selectEntry(l.row);
        const QString label = text(w, l.label),
                      vendors = QDir(p.app.path()).filePath("vlident.txt");
        click(w, "Command2");
        QVERIFY(w && w->isHidden() && QFile::remove(vendors));
        if (l.folder) QVERIFY(QDir().mkpath(vendors + "/kept"));
        QCOMPARE(p.show(l.name), w.data());
        QVERIFY(w->isVisible() && list(w)->selectedEntry() == l.row && text(w, l.label) == label);
        list(w)->selectEntry(0);
        list(w)->selectEntry(l.row);
        QVERIFY(text(w, l.label) == label && MessageBox::shown().isEmpty());

        w->close();
        QPointer<QWidget> fresh = p.show(l.name);
        QVERIFY(!w && fresh && fresh->isVisible() && list(fresh)->selectedEntry() < 0);
        QVERIFY(l.name == QString("Form2") ? MessageBox::shown().isEmpty() : oneBox(vendors));
        list(fresh)->selectEntry(l.row);
        QCOMPARE(text(fresh, l.label), l.reloaded);
        click(fresh, "Command2");
        bool output1There = false;
        connect(fresh, &QObject::destroyed, [&] { output1There = QFile::exists(p.output1()); });
        p.trigger("CloseFile");
        QVERIFY(!fresh && output1There && !QFile::exists(p.output1()));
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
