#include "ui/frmAbout.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "platform/beep.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "ui/Form1.h"
#include "ui/program_windows.h"
#include "velmora_version.h"

using velmora::FileDialog;
using velmora::Form1;
using velmora::frmAbout;
using velmora::MessageBox;
using velmora::Shell;

namespace {

// One program: an application folder, a folder of logs and the main window with its windows.
struct Program {
    QTemporaryDir app;
    QTemporaryDir logs;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(app.path());

    Program() { velmora::attachProgramWindows(*form); }

    void trigger(const char* name) {
        QAction* a = form->findChild<QAction*>(QString::fromLatin1(name));
        if (!a) qFatal("no action %s", name);
        a->trigger();
    }
    void load(const QString& sample) {
        const QString copy = logs.filePath(sample);
        QFile::copy(QDir(VELMORA_SAMPLES_DIR).filePath(sample), copy);
        FileDialog::scriptNext(copy);
        trigger("Openoptn");
    }
    QString status() const { return form->findChild<QLabel*>("Label1")->text(); }
    // The loaded about boxes; one being unloaded is gone once deferred deletes have run.
    QList<frmAbout*> boxes() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return form->findChildren<frmAbout*>();
    }
    frmAbout* box() const {
        const QList<frmAbout*> all = boxes();
        return all.size() == 1 ? all.front() : nullptr;
    }
};

template <typename T>
T* control(QWidget* box, const char* name) {
    T* w = box->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

void verifyLoadedTexts(frmAbout* box) {
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("About Velmora2004_Pre_Release"));
    QCOMPARE(control<QLabel>(box, "lblTitle")->text(), QStringLiteral("Velmora 2004 Pre-Release"));
    QCOMPARE(control<QLabel>(box, "lblVersion")->text(), QStringLiteral("Version 2004.4.6"));
    QCOMPARE(control<QPlainTextEdit>(box, "Text1")->toPlainText(),
             QStringLiteral("Velmora 2004 was designed solely for use with NetStumber Export logs, "
                            "to allow quick and easy importing into Microsoft Streets and Trips."));
    QCOMPARE(control<QPushButton>(box, "cmdOK")->text(), QStringLiteral("OK"));
    QCOMPARE(control<QPushButton>(box, "Command1")->text(),
             QStringLiteral("Check for online updates"));
}

}  // namespace

class FrmAboutTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        MessageBox::setScripted(true);
        Shell::setScripted(true);
        velmora::Beep::setSilent(true);
        start_ = QDir::currentPath();
    }

    void cleanup() {
        FileDialog::clearScript();
        MessageBox::clearShown();
        Shell::clearCalls();
        QDir::setCurrent(start_);
    }

    void aboutTwiceLeavesOneModelessBoxWithOkFocused() {
        Program p;
        p.trigger("About");
        QPointer<frmAbout> first = p.box();
        verifyLoadedTexts(first);
        p.trigger("About");
        QCOMPARE(p.boxes().size(), 1);
        QCOMPARE(p.box(), first.data());
        QVERIFY(first->isVisible());
        QVERIFY(!first->isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        auto* ok = control<QPushButton>(first, "cmdOK");
        QVERIFY(ok->isDefault());
        QCOMPARE(first->focusWidget(), ok);
    }

    void eachWayOfClosingUnloads_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << "ok";
        QTest::newRow("Enter") << "enter";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("close control") << "close";
    }

    void eachWayOfClosingUnloads() {
        QFETCH(QString, how);
        Program p;
        p.trigger("About");
        QPointer<frmAbout> box = p.box();
        QVERIFY(box);
        // Something the load step sets afresh, to tell a new box from the old one.
        control<QPlainTextEdit>(box, "Text1")->setPlainText("changed");
        auto* ok = control<QPushButton>(box, "cmdOK");
        if (how == "ok") QTest::mouseClick(ok, Qt::LeftButton);
        if (how == "enter") QTest::keyClick(ok, Qt::Key_Return);
        if (how == "esc") QTest::keyClick(ok, Qt::Key_Escape);
        if (how == "close") box->close();
        QVERIFY(p.boxes().isEmpty() && box.isNull());

        p.trigger("About");
        QVERIFY(p.box() && p.box()->isVisible());
        verifyLoadedTexts(p.box());
    }

    void mainWindowWorksWhileTheBoxIsOpen() {
        Program p;
        p.trigger("About");
        QPointer<frmAbout> box = p.box();
        p.load("drive-text.txt");
        QCOMPARE(p.status(), QStringLiteral("Processing Done!"));
        p.trigger("Convertall");
        QCOMPARE(p.status(), QStringLiteral("Full Convert Complete!"));
        QVERIFY(QFile::exists(p.logs.filePath("FullConvert_drive-text.txt")));
        // Close File unloads the Advanced windows only.
        p.trigger("CloseFile");
        QCOMPARE(p.status(), QStringLiteral("Information Unloaded"));
        QVERIFY(box && box->isVisible());
        QCOMPARE(p.boxes().size(), 1);
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void contentOpensTheHelpPageLoadedOrNot_data() {
        QTest::addColumn<bool>("loaded");
        QTest::newRow("idle") << false;
        QTest::newRow("loaded") << true;
    }

    void contentOpensTheHelpPageLoadedOrNot() {
        QFETCH(bool, loaded);
        Program p;
        if (loaded) p.load("drive-summary.txt");
        const QString status = p.status();
        p.trigger("content");
        QCOMPARE(Shell::calls().size(), 1);
        const Shell::Call call = Shell::calls().front();
        QCOMPARE(call.kind, Shell::Call::Kind::OpenUrl);
        QCOMPARE(QUrl(call.target).toLocalFile(),
                 QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("help.html"));
        QCOMPARE(p.status(), status);
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void updatesStartTheOpenerAndReportAFailedStart_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("started") << QString();
        QTest::newRow("cannot start") << "execvp: No such file or directory";
    }

    void updatesStartTheOpenerAndReportAFailedStart() {
        QFETCH(QString, failure);
        Program p;
        p.trigger("About");
        QPointer<frmAbout> box = p.box();
        if (!failure.isEmpty()) Shell::failNextStart(failure);
        QTest::mouseClick(control<QPushButton>(box, "Command1"), Qt::LeftButton);

        QCOMPARE(Shell::calls().size(), 1);
        const Shell::Call call = Shell::calls().front();
        QCOMPARE(call.kind, Shell::Call::Kind::StartDetached);
        QCOMPARE(call.target, QStringLiteral("xdg-open"));
        QCOMPARE(call.arguments, QStringList{QStringLiteral(VELMORA_UPDATE_URL)});
        if (failure.isEmpty()) {
            QVERIFY(MessageBox::shown().isEmpty());
        } else {
            QCOMPARE(MessageBox::shown().size(), 1);
            const MessageBox::Shown shown = MessageBox::shown().front();
            QCOMPARE(shown.kind, MessageBox::Kind::Error);
            QCOMPARE(shown.caption, QStringLiteral("Velmora2004_Pre_Release"));
            QVERIFY2(shown.text.contains("xdg-open") && shown.text.contains(failure),
                     qPrintable(shown.text));
        }
        QVERIFY(box && box->isVisible());
    }

  private:
    QString start_;
};

QTEST_MAIN(FrmAboutTest)
#include "frmabout_test.moc"
