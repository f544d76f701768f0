#include "ui/Form3.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "support/test_support.h"
#include "ui/Form1.h"
#include "ui/program_windows.h"

using velmora::FileDialog;
using velmora::Form3;
using velmora::MessageBox;
using velmora::test::dataLine;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

// One access point seen three times, under one name in two letter cases and under another;
// one from a maker the vendor list lacks, with a Latin-1 name; an unnamed one.
const std::string kLog = velmora::test::textLog({
    dataLine("N 45.5", "E 19.25", "Home", "00:09:5b:e7:50:07", "0011"),
    dataLine("S 10.5", "W 20.75", "HOME", "00:09:5B:E7:50:07", "0011"),
    dataLine("N 45.6", "E 19.26", "Other", "00:09:5b:E7:50:07", "0001"),
    dataLine("N 45.7", "E 19.27", "caf\xe9", "77:66:55:44:33:22", "0005"),
    dataLine("N 45.8", "E 19.28", "", "aa:bb:cc:00:00:01", "0002"),
});

const QStringList kEntries = {QStringLiteral("00:09:5B:E7:50:07 - HOME"),
                              QStringLiteral("00:09:5B:E7:50:07 - OTHER"),
                              QString::fromLatin1("77:66:55:44:33:22 - CAF\xe9"),
                              QStringLiteral("AA:BB:CC:00:00:01 - #BLANK#")};

// A prefix on two lines (the first counts, leading blank kept), a line of the bare prefix,
// lines that are no vendor lines; 77:66:55 is missing.
const QByteArray kVendors =
    "00:09:5B Example Corp\r\n\r\n00:09:5BLater Corp\r\nshort\rAA:BB:CC\r\n";

// The program with the log loaded and the windows attached.
struct Program {
    QTemporaryDir app, logs;
    std::unique_ptr<velmora::Form1> form;

    explicit Program(const QByteArray& vendors = kVendors) {
        if (!vendors.isNull()) writeAll(path("vlident.txt"), vendors);
        form = std::make_unique<velmora::Form1>(app.path());
        velmora::attachProgramWindows(*form);
        load(kLog);
    }
    void load(const std::string& log) {
        writeAll(logs.filePath("drive.txt"), QByteArray::fromStdString(log));
        FileDialog::scriptNext(logs.filePath("drive.txt"));
        form->openFile();
    }
    void trigger(const char* item) { form->findChild<QAction*>(item)->trigger(); }
    // Advanced > "Advanced By MAC Address", then the one loaded MAC window (or null).
    Form3* openMac() {
        trigger("MACAddress");
        return window();
    }
    Form3* window() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const auto all = form->findChildren<Form3*>(Qt::FindDirectChildrenOnly);
        return all.size() == 1 ? all.first() : nullptr;
    }
    QString path(const char* name) const { return QDir(app.path()).filePath(name); }
};

QListWidget* list2(Form3* w) {
    return w->findChild<QListWidget*>("List2");
}
QString text(Form3* w, const char* label) {
    return w->findChild<QLabel*>(label)->text();
}
QStringList entries(Form3* w) {
    QStringList texts;
    for (int i = 0; i < list2(w)->count(); ++i) texts << list2(w)->item(i)->text();
    return texts;
}
void select(Form3* w, const QString& entry) {
    list2(w)->setCurrentItem(list2(w)->findItems(entry, Qt::MatchExactly).value(0));
}
QString selected(Form3* w) {
    return list2(w)->selectedItems().isEmpty() ? QString() : list2(w)->selectedItems()[0]->text();
}
void click(Form3* w, const char* button) {
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
}

}  // namespace

class Form3Test : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        MessageBox::setScripted(true);
        start_ = QDir::currentPath();
    }

    void cleanup() {
        FileDialog::clearScript();
        MessageBox::clearShown();
        QDir::setCurrent(start_);
    }

    void loadSelectAndExport() {
        Program p;
        Form3* w = p.openMac();
        QVERIFY(w && w->isVisible());
        QCOMPARE(entries(w), kEntries);
        QCOMPARE(text(w, "Label1"), QStringLiteral("Number Of Unique AP's ->4"));
        QCOMPARE(text(w, "Label2"), QStringLiteral("Vender ID:"));
        const QStringList vendors = {" Example Corp", " Example Corp", "Not Found In Database", ""};
        for (int i = 0; i < kEntries.size(); ++i) {
            select(w, kEntries[i]);
            QCOMPARE(text(w, "Label2"), vendors[i]);
        }

        // Every sighting of the MAC address, whatever its name; column 5 upper-cased.
        select(w, kEntries[1]);
        FileDialog::scriptNext(p.logs.filePath("MAC_00095BE75007"));  // confirmed unchanged
        click(w, "Command1");
        QCOMPARE(FileDialog::lastProposedName(), QStringLiteral("MAC_00095BE75007"));
        QCOMPARE(
            readAll(p.logs.filePath("MAC_00095BE75007.txt")),
            QByteArray(
                "Latitude;Longitude;Name; ;Name 2\r\n"
                "45.5;19.25;Home;BSS;00:09:5B:E7:50:07;01:02:03GMT;[257449];#;0011;00000040;100\r\n"
                "-10.5;-20.75;HOME;BSS;00:09:5B:E7:50:07;01:02:03GMT;[257449];#;0011;00000040;"
                "100\r\n"
                "45.6;19.26;Other;BSS;00:09:5B:E7:50:07;01:02:03GMT;[257449];#;0001;00000040;"
                "100\r\n"));
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(selected(w), kEntries[1]);
        QCOMPARE(text(w, "Label2"), QStringLiteral(" Example Corp"));
    }

    void exportThatDoesNothingOrFails_data() {
        QTest::addColumn<QString>("step");
        QTest::newRow("nothing selected") << "unselected";
        QTest::newRow("dialog cancelled") << "cancel";
        QTest::newRow("name is a folder") << "folder";
    }

    void exportThatDoesNothingOrFails() {
        QFETCH(QString, step);
        Program p;
        Form3* w = p.openMac();
        const QString target = p.logs.filePath("MAC_776655443322.txt");
        if (step != "unselected") select(w, kEntries[2]);
        if (step == "folder") QVERIFY(QDir().mkpath(target + "/kept"));
        step == "cancel" ? FileDialog::scriptCancel() : FileDialog::scriptNext(target);
        const int dialogs = FileDialog::shownCount();
        const QDir logs(p.logs.path());
        const QStringList before = logs.entryList(QDir::NoDotAndDotDot | QDir::AllEntries);

        click(w, "Command1");
        QCOMPARE(FileDialog::shownCount(), dialogs + (step == "unselected" ? 0 : 1));
        QCOMPARE(logs.entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
        QCOMPARE(MessageBox::shown().size(), step == "folder" ? 1 : 0);
        if (step == "folder") QVERIFY(MessageBox::shown()[0].text.contains(target));
        QCOMPARE(selected(w), step == "unselected" ? QString() : kEntries[2]);
    }

    void fileFaultIsReportedAndTheWindowStillOpens_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("asFolder");  // otherwise missing
        QTest::newRow("vendor list missing") << "vlident.txt" << false;
        QTest::newRow("vendor list a folder") << "vlident.txt" << true;
        QTest::newRow("working file gone") << "output1" << false;
    }

    void fileFaultIsReportedAndTheWindowStillOpens() {
        QFETCH(QString, file);
        QFETCH(bool, asFolder);
        Program p(file == "vlident.txt" ? QByteArray() : kVendors);
        QFile::remove(p.path(qPrintable(file)));
        if (asFolder) QVERIFY(QDir(p.app.path()).mkpath(file + "/kept"));
        Form3* w = p.openMac();
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown()[0].kind == MessageBox::Kind::Error);
        QVERIFY2(MessageBox::shown()[0].text.contains(p.path(qPrintable(file))),
                 qPrintable(MessageBox::shown()[0].text));
        QVERIFY(w && w->isVisible());
        if (file == "output1") {
            QCOMPARE(text(w, "Label1"), QStringLiteral("Number Of Unique AP's ->0"));
            return;
        }
        // Without a vendor list nothing is found; the rest works.
        select(w, kEntries[0]);
        QCOMPARE(text(w, "Label2"), QStringLiteral("Not Found In Database"));
        FileDialog::scriptNext(p.logs.filePath("out"));
        click(w, "Command1");
        QVERIFY(readAll(p.logs.filePath("out.txt")).startsWith("Latitude;"));
    }

    void hideShowCloseAndReload() {
        Program p;
        QPointer<Form3> w = p.openMac();
        select(w, kEntries[3]);
        click(w, "Command2");
        QVERIFY(w && !w->isVisible());

        // Shown again unchanged; the vendor list and output1 are not read again.
        writeAll(p.path("vlident.txt"), "AA:BB:CC New\r\n");
        QVERIFY(p.openMac() == w && w && w->isVisible());
        QCOMPARE(selected(w), kEntries[3]);
        QCOMPARE(text(w, "Label2"), QString());
        select(w, kEntries[0]);
        select(w, kEntries[3]);
        QCOMPARE(text(w, "Label2"), QString());

        // The frame's close control unloads it; the next opening loads it afresh.
        w->close();
        QVERIFY(!p.window() && !w);
        w = p.openMac();
        QVERIFY(w && selected(w).isEmpty());
        QCOMPARE(text(w, "Label2"), QStringLiteral("Vender ID:"));
        select(w, kEntries[3]);
        QCOMPARE(text(w, "Label2"), QStringLiteral(" New"));

        // Close File unloads it, hidden or not; the next log gets a new list.
        click(w, "Command2");
        p.trigger("CloseFile");
        QVERIFY(!w && !p.window());
        p.load(velmora::test::textLog(
            {dataLine("N 1.5", "E 2.5", "Again", "aa:bb:cc:dd:ee:ff", "0011")}));
        QCOMPARE(entries(p.openMac()), QStringList({"AA:BB:CC:DD:EE:FF - AGAIN"}));
    }

    void captionsFitTheirControls() {
        Program p;
        Form3* w = p.openMac();
        for (const char* name : {"Command1", "Command2"}) {
            const QPushButton* b = w->findChild<QPushButton*>(name);
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) < b->width() - 8, name);
        }
        const QLabel* count = w->findChild<QLabel*>("Label1");
        QVERIFY(count->fontMetrics().horizontalAdvance(text(w, "Label1") + "32767") <
                count->width());
    }

  private:
    QString start_;
};

QTEST_MAIN(Form3Test)
#include "form3_test.moc"
