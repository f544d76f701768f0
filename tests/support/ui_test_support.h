// SPDX-License-Identifier: GPL-3.0-or-later
// What the window tests share: the seams, a program on a temporary application folder with
// its windows attached, a log loaded through the scripted open dialog, short ways to controls.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "platform/beep.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "records/working_record.h"
#include "support/test_support.h"
#include "ui/Form1.h"
#include "ui/entry_list.h"
#include "ui/export_choices.h"
#include "ui/file_names.h"
#include "ui/program_windows.h"
#include "ui/recent_logs.h"

namespace velmora::uitest {

using namespace ::velmora;  // so that tests need only name this namespace

// One access point as home and Home (two MAC spellings) and as other; a second HOME one,
// ad-hoc without WEP; a name with a slash; an unnamed one; one seen five times.
inline std::string driveLog(bool summary = false) {
    std::string log = test::textLog({});
    if (summary) log.replace(log.find("wi-scan with"), 12, "wi-scan summary with");
    // clang-format off
    const char* lines[][3] = {
        {"home", "00:0a:95:00:00:01", "0011"}, {"Home", "00:0A:95:00:00:01", "0011"},
        {"HOME", "00:0a:95:00:00:02", "0002"}, {"other", "00:0A:95:00:00:01", "0011"},
        {"a/b", "77:66:55:44:33:22", "0013"}, {"", "aa:bb:cc:00:00:01", "0002"},
        {"office", "00:09:5b:00:00:09", "0011"}, {"OFFICE", "00:09:5B:00:00:09", "0011"},
        {"Office", "00:09:5b:00:00:09", "0011"}, {"OFFICE", "00:09:5b:00:00:09", "0011"},
        {"office", "00:09:5B:00:00:09", "0011"}};
    for (const auto& l : lines)
        log += test::dataLine("S 10.5", "W 20.75", l[0], l[1], l[2]) + "\r\n";
    // clang-format on
    return log;
}
// A prefix twice (the first wins, leading blank kept), no vendor lines, a bare prefix.
inline const char* kVendors = "00:0A:95 Example Corp\r\n\r\n00:0A:95Later\r\nshort\rAA:BB:CC\r\n";
inline const QString kStart = QDir::currentPath();

// Short ways to files and controls; Program below is the fixture.
struct Ui {
    // clang-format off
    static std::string bytes(const QString& f) { return QFile::encodeName(f).toStdString(); }
    static void writeAll(const QString& f, const std::string& s) { test::writeFile(bytes(f), s); }
    static QString text(QWidget* w, const char* l) { return w->findChild<QLabel*>(l)->text(); }
    static void click(QWidget* w, const char* b) { w->findChild<QAbstractButton*>(b)->click(); }
    static QString canonical(const QString& folder) { return QDir(folder).canonicalPath(); }
    // clang-format on
    static EntryList* list(QWidget* w, const char* n = "List2") {
        return w->findChild<EntryList*>(n);
    }
    static QByteArray readAll(const QString& f) {
        return QByteArray::fromStdString(test::readFile(bytes(f)));
    }
    static void pick(QWidget* w, const QString& entry, const char* name = "List2") {
        list(w, name)->selectEntry(entries(w, name).indexOf(entry));
    }
    static QStringList entries(QWidget* w, const char* name = "List2") {
        QStringList texts;
        for (int i = 0; i < list(w, name)->count(); ++i) texts << list(w, name)->entry(i);
        return texts;
    }
    // Columns 3 and 5 of each line of an export after its header.
    static QString exported(const QString& path) {
        QStringList lines = QString::fromLatin1(readAll(path)).split("\r\n", Qt::SkipEmptyParts);
        if (lines.value(0) != "Latitude;Longitude;Name; ;Name 2") return "no header";
        lines.removeFirst();
        for (QString& line : lines) line = line.section(';', 2, 2) + ';' + line.section(';', 4, 4);
        return lines.join(' ');
    }
    // Whether exactly one box was shown, of this kind, holding `part`.
    static bool oneBox(const QString& part, MessageBox::Kind kind = MessageBox::Kind::Error) {
        const auto& s = MessageBox::shown();
        return s.size() == 1 && s[0].kind == kind && s[0].text.contains(part) &&
               s[0].caption == "Velmora2004_Pre_Release";
    }
    // Run before each test: no box, beep, dialog or shell is real, none is left from before.
    static void freshSeams() {
        MessageBox::setScripted(true);
        MessageBox::clearShown();
        Beep::setSilent(true);
        Beep::resetCount();
        Shell::setScripted(true);
        Shell::clearCalls();
        FileDialog::clearScript();
        QDir::setCurrent(kStart);
        // The export choices and recent logs are kept in a settings file of the tests' own,
        // back at their defaults: no test reads or writes the user's.
        static const QTemporaryDir settings;
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
        saveExportChoices({});
        saveRecentLogs({});
    }
};

// Table-driven tests: a _data function names a static table's rows, the test takes its row.
template <typename T, std::size_t N>
void rows(const T (&table)[N]) {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i) QTest::newRow(table[i].name) << static_cast<int>(i);
}
template <typename T, std::size_t N>
const T& fetch(const T (&table)[N]) {
    QFETCH(int, row);
    return table[row];
}

// The program on a temporary application folder, its windows attached, a folder of logs.
struct Program : Ui {
    QTemporaryDir app, logs;
    std::unique_ptr<Form1> form;

    explicit Program(const QString& appFolder = {}, const char* vendors = kVendors) {
        if (vendors) writeAll(QDir(app.path()).filePath("vlident.txt"), vendors);
        form = std::make_unique<Form1>(appFolder.isEmpty() ? app.path() : appFolder);
        attachProgramWindows(*form);
    }
    // QTemporaryDir cannot remove a file whose name is not UTF-8: the folders go by their bytes.
    ~Program() {
        form.reset();
        std::error_code ec;
        for (const QTemporaryDir* dir : {&app, &logs})
            std::filesystem::remove_all(corePath(dir->path()), ec);
    }
    // File > Open File choosing `path` in the dialog, or cancelling it for an empty path.
    void open(const QString& path) {
        path.isEmpty() ? FileDialog::scriptCancel() : FileDialog::scriptNext(path);
        trigger("Openoptn");
    }
    void load(const std::string& log = driveLog()) {
        writeAll(logs.filePath("drive.txt"), log);
        open(logs.filePath("drive.txt"));
    }
    QAction* action(const char* name) const { return form->findChild<QAction*>(name); }
    void trigger(const char* name) const { action(name)->trigger(); }
    QString output1() const { return QDir(form->applicationFolder()).filePath("output1"); }
    QString status() const { return text(form.get(), "Label1"); }
    // The status bar's text, and its link's target ("" while no link shows).
    QString statusBar() const { return text(form.get(), "statusText"); }
    QString statusLink() const {
        auto* link = form->findChild<QLabel*>("openFolder");
        if (!link->isVisibleTo(form.get())) return {};
        return QRegularExpression("<a href=\"([^\"]*)\">").match(link->text()).captured(1);
    }
    // A window owned by Form1; one closed by its own control is gone once deletes have run.
    QWidget* window(const QString& name) const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return form->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    }
    QWidget* show(const QString& name) const {
        const char* items[] = {"APName", "MACAddress", "AdvanceCriteria", "About"};
        trigger(items[QStringList{"Form2", "Form3", "Form4", "frmAbout"}.indexOf(name)]);
        return window(name);
    }
    // The log an Advanced window needs (the summary form for Form2) loaded, then the window.
    QWidget* loadAndShow(const QString& name) {
        load(driveLog(name == "Form2"));
        return show(name);
    }
    // The export button, its save dialog answered with logs/<answer> ("": cancelled).
    void save(QWidget* w, const QString& answer) const {
        answer.isEmpty() ? FileDialog::scriptCancel()
                         : FileDialog::scriptNext(logs.filePath(answer));
        click(w, "Command1");
    }
};

}  // namespace velmora::uitest
