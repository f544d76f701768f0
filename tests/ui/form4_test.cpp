#include "ui/Form4.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "records/working_files.h"
#include "support/test_support.h"
#include "ui/Form1.h"
#include "ui/program_windows.h"

using velmora::FileDialog;
using velmora::Form4;
using velmora::MessageBox;
using velmora::test::dataLine;

namespace {

// HOME: one access point in two letter cases and names (infrastructure, WEP on) and an ad-hoc
// one without WEP. The first is seen once more under OTHER.
const std::string kLog = velmora::test::textLog({
    dataLine("N 45.5", "E 19.25", "home", "00:0a:95:00:00:01", "0011"),
    dataLine("S 10.5", "W 20.75", "Home", "00:0A:95:00:00:01", "0011"),
    dataLine("N 45.6", "E 19.26", "HOME", "00:0a:95:00:00:02", "0002"),
    dataLine("N 45.7", "E 19.27", "other", "00:0A:95:00:00:01", "0011"),
    dataLine("N 45.8", "E 19.28", "a/b", "77:66:55:44:33:22", "0013"),
});
const QString kOne = "00:0A:95:00:00:01", kTwo = "00:0A:95:00:00:02";

// The program with the log loaded and the criteria window opened from its menu.
struct Program {
    QTemporaryDir app, logs;
    std::unique_ptr<velmora::Form1> form;
    Form4* w = nullptr;

    explicit Program(bool vendorList = true, bool dropWorkingFile = false) {
        if (vendorList) write(app, "vlident.txt", "00:0A:95Example\r\n");
        form = std::make_unique<velmora::Form1>(app.path());
        velmora::attachProgramWindows(*form);
        FileDialog::scriptNext(write(logs, "drive.txt", kLog));
        form->openFile();
        if (dropWorkingFile) velmora::removeWorkingFile(form->workingFiles().output1());
        w = open();
    }
    static QString write(const QTemporaryDir& dir, const char* name, const std::string& bytes) {
        velmora::test::writeFile(dir.filePath(name).toStdString(), bytes);
        return dir.filePath(name);
    }
    // The newest: a window closed by its own control lingers until its deferred deletion.
    Form4* open() {
        form->findChild<QAction*>("AdvanceCriteria")->trigger();
        const QList<Form4*> all = form->findChildren<Form4*>("Form4");
        return all.isEmpty() ? nullptr : all.last();
    }
    QListWidget* list(int n) const {
        return w->findChild<QListWidget*>(QStringLiteral("List%1").arg(n));
    }
    QStringList entries(int n) const {
        QStringList texts;
        for (int i = 0; i < list(n)->count(); ++i) texts << list(n)->item(i)->text();
        return texts;
    }
    QString label(const char* name) const { return w->findChild<QLabel*>(name)->text(); }
    bool shows(const char* name) const { return w->findChild<QWidget*>(name)->isVisibleTo(w); }
    void click(const char* name) const { w->findChild<QAbstractButton*>(name)->click(); }
    void pick(int n, const QString& text) const {
        list(n)->setCurrentItem(list(n)->findItems(text, Qt::MatchExactly).value(0));
    }
};

}  // namespace

class Form4Test : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { MessageBox::setScripted(true); }
    void cleanup() {
        FileDialog::clearScript();
        MessageBox::clearShown();
    }

    void loadThenRecountByCriteria() {
        Program p;
        QCOMPARE(p.entries(2), QStringList({"A/B", "HOME", "OTHER"}));
        QCOMPARE(p.label("Label2"), QStringLiteral("Matching Records:0"));
        QVERIFY(p.entries(1).isEmpty() && MessageBox::shown().isEmpty());
        for (const char* on : {"Option3", "Option6", "Option7"})
            QVERIFY2(p.w->findChild<QRadioButton*>(on)->isChecked(), on);
        QVERIFY(!p.list(1)->isEnabled() && p.list(2)->isEnabled() && !p.shows("Frame4"));

        p.pick(2, "HOME");  // home and Home belong to it; 00:0a:95:00:00:01 counts once
        const QList<std::pair<const char*, QStringList>> steps = {
            {"Option6", {kOne, kTwo}}, {"Option1", {kOne}}, {"Option5", {}},
            {"Option2", {kTwo}},       {"Option4", {}},     {"Option3", {kOne}}};
        for (const auto& [option, macs] : steps) {
            p.click(option);
            QCOMPARE(p.entries(1), macs);
            QCOMPARE(p.label("Label2"), QStringLiteral("Matching Records:%1").arg(macs.size()));
        }
    }

    void keysAndClicksInList2Recount() {
        Program p;
        p.pick(2, "HOME");
        QList<int> seen;  // List1's entry count at each recount
        connect(p.list(1)->model(), &QAbstractItemModel::rowsInserted, this,
                [&] { seen << p.list(1)->count(); });
        QTest::keyClick(p.list(2), Qt::Key_Shift);  // moves nothing: HOME again
        QCOMPARE(seen, QList<int>{2});

        seen.clear();
        QTest::keyClick(p.list(2), Qt::Key_Down);  // HOME when the key goes down, then OTHER
        QCOMPARE(seen, QList<int>({2, 1}));
        QCOMPARE(p.label("Label2"), QStringLiteral("Matching Records:1"));

        for (int row : {2, 1}) {  // the selected entry, then another: one recount each
            seen.clear();
            const QRect rect = p.list(2)->visualItemRect(p.list(2)->item(row));
            QTest::mouseClick(p.list(2)->viewport(), Qt::LeftButton, {}, rect.center());
            QCOMPARE(seen, QList<int>{row == 2 ? 1 : 2});
        }
    }

    void vendorAndModes() {
        Program p;
        p.pick(2, "HOME");
        p.click("Option8");
        QVERIFY(p.list(1)->isEnabled() && !p.list(2)->isEnabled() && p.shows("Label1"));
        p.pick(1, kTwo);
        QCOMPARE(p.label("Label1"), QStringLiteral("Example"));
        p.click("Option2");  // recounts HOME; the vendor stays until the next pick
        QVERIFY(p.list(1)->selectedItems().isEmpty() && p.label("Label1") == "Example");
        p.click("Option7");
        QVERIFY(p.label("Label1").isEmpty() && !p.shows("Frame4") && !p.list(1)->isEnabled());
        p.pick(1, kTwo);
        p.click("Option8");
        QVERIFY(p.label("Label1").isEmpty() && p.shows("Label1"));
    }

    void missingFilesAreReported() {
        Program noVendors(false);
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains("vlident.txt"));
        noVendors.pick(2, "HOME");  // the lists were filled first
        noVendors.click("Option8");
        noVendors.pick(1, kOne);
        QCOMPARE(noVendors.label("Label1"), QStringLiteral("Not Found"));

        MessageBox::clearShown();
        Program noWorkingFile(true, true);
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains("output1"));
        QCOMPARE(noWorkingFile.list(2)->count(), 0);
    }

    void exports_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mac");  // MAC mode unless null; empty: none selected
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QStringList>("written");  // columns 3 and 5 of each export line
        QTest::newRow("AP name") << "HOME" << QString() << "sub/h.TXT"
                                 << "Custom_SSID_HOME.TXT"
                                 << QStringList{"HOME;" + kOne, "HOME;" + kOne, "HOME;" + kTwo};
        QTest::newRow("MAC under any name")
            << "HOME" << kOne << "sub/m"
            << "Custom_MAC_000A95000001.TXT"
            << QStringList{"HOME;" + kOne, "HOME;" + kOne, "OTHER;" + kOne};
        QTest::newRow("MAC, none selected") << "HOME"
                                            << ""
                                            << "sub/n.TXT"
                                            << "Custom_MAC_.TXT" << QStringList();
    }

    void exports() {
        QFETCH(QString, name);
        QFETCH(QString, mac);
        QFETCH(QString, answer);
        QFETCH(QStringList, written);
        Program p;
        QVERIFY(QDir(p.logs.path()).mkpath("sub"));
        p.pick(2, name);
        if (!mac.isNull()) p.click("Option8");
        if (!mac.isEmpty()) p.pick(1, mac);
        FileDialog::scriptNext(p.logs.filePath(answer));
        p.click("Command1");
        QTEST(FileDialog::lastProposedName(), "proposed");
        // The dialog's folder, the title it returned and the default extension "txt".
        const QString file = p.logs.filePath(answer.endsWith("TXT") ? answer : answer + ".txt");
        QStringList lines = QString::fromStdString(velmora::test::readFile(file.toStdString()))
                                .split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.takeFirst(), QStringLiteral("Latitude;Longitude;Name; ;Name 2"));
        for (QString& line : lines) line = line.section(';', 2, 2) + ';' + line.section(';', 4, 4);
        QCOMPARE(lines, written);
    }

    void exportRefusalsCancelAndFailure() {
        Program p;
        const int shown = FileDialog::shownCount();
        p.click("Command1");  // no network selected
        p.pick(2, "A/B");
        p.click("Option1");  // its flags pass no connection type: List1 is empty
        p.click("Command1");
        QCOMPARE(FileDialog::shownCount(), shown);

        p.pick(2, "HOME");
        FileDialog::scriptCancel();
        p.click("Command1");
        QCOMPARE(QDir(p.logs.path()).entryList(QDir::Files), QStringList{"drive.txt"});

        QVERIFY(QDir(p.logs.path()).mkpath("taken.txt/kept"));
        FileDialog::scriptNext(p.logs.filePath("taken.txt"));
        p.click("Command1");
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains("taken.txt"));
    }

    void shownAtMostOnceAndUnloaded() {
        Program p;
        p.pick(2, "HOME");
        p.click("Command2");
        QVERIFY(!p.w->isVisible());
        QCOMPARE(p.open(), p.w);  // shown again as it was, not loaded again
        QVERIFY(p.w->isVisible() && p.label("Label2") == "Matching Records:2");

        QPointer<Form4> closed = p.w;
        p.w->close();  // its own close control unloads it
        p.w = p.open();
        QVERIFY(p.w != closed && p.label("Label2") == "Matching Records:0");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!closed);

        p.form->findChild<QAction*>("CloseFile")->trigger();
        QVERIFY(!p.form->findChild<Form4*>());
    }
};

QTEST_MAIN(Form4Test)
#include "form4_test.moc"
