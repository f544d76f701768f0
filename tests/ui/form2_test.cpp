#include "ui/Form2.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "support/test_support.h"
#include "ui/Form1.h"
#include "ui/program_windows.h"

using velmora::FileDialog;
using velmora::Form2;
using velmora::MessageBox;

namespace {

// A summary log (the kind that enables the window). The first record is the only one of
// ALPHA; HomeNet and HOMENET share one access point in two spellings and add a second;
// OFFICE is one access point seen five times.
std::string summaryLog() {
    std::string log = velmora::test::textLog({});
    log.replace(log.find("wi-scan with"), 12, "wi-scan summary with");
    for (const auto& [ssid, mac] : std::initializer_list<std::pair<const char*, const char*>>{
             {"alpha", "00:00:00:00:00:01"},
             {"HomeNet", "00:0c:41:aa:bb:01"},
             {"HOMENET", "00:0C:41:AA:BB:01"},
             {"homenet", "00:0c:41:aa:bb:02"},
             {"OFFICE", "00:09:5b:00:00:09"},
             {"office", "00:09:5b:00:00:09"},
             {"Office", "00:09:5B:00:00:09"},
             {"OFFICE", "00:09:5b:00:00:09"},
             {"OFFICE", "00:09:5b:00:00:09"},
             {"", "00:30:bd:00:00:01"},
             {"a/b", "00:30:bd:00:00:02"}})
        log += velmora::test::dataLine("N 1.5", "W 2.5", ssid, mac, "0011") + "\r\n";
    return log;
}

// A program with that log loaded; `out` is the folder the user picks in save dialogs.
struct Program {
    QTemporaryDir app, out;
    velmora::Form1 form{app.path()};

    Program() {
        velmora::attachProgramWindows(form);
        velmora::test::writeFile(QFile::encodeName(out.filePath("drive.txt")).toStdString(),
                                 summaryLog());
        FileDialog::scriptNext(out.filePath("drive.txt"));
        form.openFile();
    }
    QString output1() const { return QDir(app.path()).filePath("output1"); }
    QString written(const QString& file) const {
        return QString::fromLatin1(
            velmora::test::readFile(QFile::encodeName(out.filePath(file)).toStdString()));
    }
    Form2* menu() {
        form.findChild<QAction*>("APName")->trigger();
        return form.findChild<Form2*>("Form2");
    }
    // Selects `row` (none if negative) and extracts, answering the dialog with `file` in `out`.
    void extract(Form2* w, int row, const QString& file) {
        if (row >= 0) w->findChild<QListWidget*>("List2")->setCurrentRow(row);
        file.isEmpty() ? FileDialog::scriptCancel() : FileDialog::scriptNext(out.filePath(file));
        w->findChild<QPushButton*>("Command1")->click();
    }
};

QString label(Form2* w) {
    return w->findChild<QLabel*>("Label1")->text();
}
QListWidget* list(Form2* w) {
    return w->findChild<QListWidget*>("List2");
}

}  // namespace

class Form2Test : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { MessageBox::setScripted(true); }
    void cleanup() {
        FileDialog::clearScript();
        MessageBox::clearShown();
    }

    void groupsAndTheirCounts() {
        Program p;
        Form2* w = p.menu();
        QVERIFY(w && w->isVisible() && w->parentWidget() == &p.form);
        QCOMPARE(label(w), QStringLiteral("Unique AP's in Group List :"));
        const QStringList groups = {"#BLANK#", "A/B", "ALPHA", "HOMENET", "OFFICE"};
        const QStringList counts = {"1", "1", "1", "2", "1"};
        QCOMPARE(list(w)->count(), groups.size());
        list(w)->setFocus();
        for (int row = 0; row < groups.size(); ++row) {
            // Keys move the selection as the mouse does.
            row == 0 ? list(w)->setCurrentRow(0) : QTest::keyClick(list(w), Qt::Key_Down);
            QCOMPARE(list(w)->item(row)->text(), groups[row]);
            QCOMPARE(label(w), "Unique AP's in Group List : " + counts[row]);
        }
        for (const char* name : {"Command1", "Command2"}) {
            const QPushButton* b = w->findChild<QPushButton*>(name);
            QVERIFY2(b->sizeHint().width() <= b->width(), name);
        }
        QVERIFY(w->fontMetrics().horizontalAdvance(label(w) + "2767") <= list(w)->width());
    }

    void exportWritesTheGroupIntoTheChosenFolder() {
        Program p;
        Form2* w = p.menu();
        p.extract(w, 3, "chosen.txt");
        QCOMPARE(FileDialog::lastProposedName(), QStringLiteral("AP-HOMENET.TXT"));
        QCOMPARE(p.written("chosen.txt").count(";HOMENET;"), 3);
        // A name no file can hold is proposed unchanged; only the returned title is used.
        QVERIFY(QDir(p.out.path()).mkdir("AP-A"));
        p.extract(w, 1, "AP-A/B.TXT");
        QCOMPARE(FileDialog::lastProposedName(), QStringLiteral("AP-A/B.TXT"));
        QCOMPARE(p.written("AP-A/B.TXT").count(";A/B;"), 1);
        p.extract(w, 0, "AP-#BLANK#.TXT");
        QCOMPARE(FileDialog::lastProposedName(), QStringLiteral("AP-#BLANK#.TXT"));
        QCOMPARE(p.written("AP-#BLANK#.TXT").count(";#BLANK#;"), 1);
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void refusedExportsWriteNothing_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("file");       // the dialog's answer; empty: cancelled
        QTest::addColumn<QStringList>("boxes");  // a text each box holds
        const QString none = "No AP Selected To Export";
        QTest::newRow("nothing selected") << "" << -1 << "x.txt" << QStringList{none};
        QTest::newRow("dialog cancelled") << "" << 3 << "" << QStringList{none};
        QTest::newRow("empty working file") << "empty" << 0 << "x.txt" << QStringList{none};
        QTest::newRow("unreadable working file")
            << "gone" << 0 << "x.txt" << QStringList{"output1", none};
        QTest::newRow("name is a folder") << "folder" << 3 << "x.txt" << QStringList{"x.txt"};
    }

    void refusedExportsWriteNothing() {
        QFETCH(QString, fault);
        QFETCH(int, row);
        QFETCH(QString, file);
        QFETCH(QStringList, boxes);
        Program p;
        if (fault == "empty") QFile(p.output1()).resize(0);
        if (fault == "gone") QFile::remove(p.output1());
        if (fault == "folder") QVERIFY(QDir(p.out.path()).mkpath("x.txt/kept"));
        const QStringList before = QDir(p.out.path()).entryList();
        Form2* w = p.menu();
        p.extract(w, row, file);

        QCOMPARE(MessageBox::shown().size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i) {
            const MessageBox::Shown& box = MessageBox::shown().at(i);
            QCOMPARE(box.caption, QStringLiteral("Velmora2004_Pre_Release"));
            QVERIFY2(box.text.contains(boxes[i]), qPrintable(box.text));
            QVERIFY((box.kind == MessageBox::Kind::Information) == (box.text == boxes.last()));
        }
        QCOMPARE(QDir(p.out.path()).entryList(), before);
        QVERIFY(w->isVisible());
    }

    void hideShowAndUnload() {
        Program p;
        QPointer<Form2> w = p.menu();
        list(w)->setCurrentRow(3);
        w->findChild<QPushButton*>("Command2")->click();
        QVERIFY(w && w->isHidden());
        // Shown again as it was, without reading the working file again.
        QFile(p.output1()).resize(0);
        QCOMPARE(p.menu(), w.data());
        QVERIFY(w->isVisible() && list(w)->currentRow() == 3 && list(w)->count() == 5);
        QCOMPARE(label(w), QStringLiteral("Unique AP's in Group List : 2"));

        // The frame's close control unloads it: the menu loads a fresh one at once.
        w->close();
        p.form.findChild<QAction*>("APName")->trigger();
        QPointer<Form2> fresh = p.form.findChildren<Form2*>().constLast();
        QVERIFY(fresh != w && fresh->isVisible() && list(fresh)->count() == 0);
        // Close File unloads it, hidden or shown.
        fresh->hide();
        p.form.closeFile();
        QVERIFY(!fresh);
    }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
