// SPDX-License-Identifier: GPL-3.0-or-later
// Renders every window in each of its states to PNG files, on the offscreen platform, so a
// change of fonts or layout can be looked at without a desktop.
//
//   velmora-screenshots <out-folder> [samples-folder [large-log]]
//
// With a large log (tools/make_survey_log.py --lines 1000000), the map is also shown fitted to
// all of it and with one MAC address's sightings highlighted on it.
//
// A scene drives a fresh program into one state and returns the window to photograph; a new
// window needs one more row in scenes().
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "platform/beep.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "support/loopback_tile_server.h"
#include "ui/Form1.h"
#include "ui/entry_list.h"
#include "ui/map_canvas.h"
#include "ui/map_window.h"
#include "ui/program_windows.h"

namespace {

using velmora::FileDialog;
using velmora::Form1;

// One program run: its own application folder and log folder, removed afterwards.
class Session {
  public:
    explicit Session(QString samples) : samples_(std::move(samples)) {}

    Form1& form1() {
        if (!form1_) {
            form1_ = std::make_unique<Form1>(appFolder_.path());
            velmora::attachProgramWindows(*form1_);
        }
        return *form1_;
    }

    // Loads a sample log through File > Open File, as a user would pick it.
    void load(const QString& sample) {
        const QString copy = QDir(logFolder_.path()).filePath(sample);
        QFile::copy(QDir(samples_).filePath(sample), copy);
        FileDialog::scriptNext(copy);
        form1().openFile();
    }

    // The vendor list the build puts beside the executables.
    void provideVendorList() {
        QFile::copy(QDir(QCoreApplication::applicationDirPath()).filePath("vlident.txt"),
                    QDir(form1().vendorFolder()).filePath("vlident.txt"));
    }

    // Opens a window from its menu item and picks `row` in its List2.
    QWidget* open(const char* menuItem, const char* window, int row) {
        form1().findChild<QAction*>(QString::fromLatin1(menuItem))->trigger();
        auto* w = form1().findChild<QWidget*>(QString::fromLatin1(window));
        w->findChild<velmora::EntryList*>(QStringLiteral("List2"))->selectEntry(row);
        return w;
    }

  private:
    QString samples_;
    QTemporaryDir appFolder_;
    QTemporaryDir logFolder_{QDir::tempPath() + QStringLiteral("/drives-XXXXXX")};
    std::unique_ptr<Form1> form1_;
};

// The tile server of the map scenes, on 127.0.0.1, serving the bundled test tile.
velmora::LoopbackTileServer* tileServer = nullptr;

// Lets the event loop run until `done` or `milliseconds` have passed.
void settle(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

void sendMouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// The map window of a loaded sample, its background from `tileUrl` (a server on 127.0.0.1 or a
// refused port: the screenshot tool never asks the internet). With `highlightRow`, the MAC
// window's entry of that row is shown on the map first. A busy spot is clicked for the side
// panel, and the mouse rests beside it.
QWidget* mapScene(Session& s, const QString& tileUrl, const velmora::LoopbackTileServer* server,
                  int highlightRow = -1, const QString& log = QStringLiteral("drive-text.txt")) {
    qputenv("VELMORA_TILE_URL", tileUrl.toUtf8());
    s.provideVendorList();
    s.load(log);
    if (highlightRow >= 0) {
        QWidget* form3 = s.open("MACAddress", "Form3", highlightRow);
        form3->findChild<QAbstractButton*>(QStringLiteral("ShowOnMap"))->click();
        form3->hide();
    }
    s.form1().findChild<QAction*>(QStringLiteral("Map"))->trigger();
    auto* window = s.form1().findChild<velmora::MapWindow*>(QStringLiteral("MapWindow"));
    window->show();
    velmora::MapCanvas* canvas = window->canvas();
    canvas->grab();  // asks for the tiles of the view
    if (server) {
        // Until the server has had no new request for a while: every tile of the view is in.
        qsizetype seen = -1;
        QElapsedTimer quiet;
        settle(
            [&] {
                if (server->requests().size() != seen) {
                    seen = server->requests().size();
                    quiet.restart();
                }
                return seen > 0 && quiet.elapsed() > 700;
            },
            10000);
    } else {
        const auto* status = window->findChild<QLabel*>(QStringLiteral("statusLine"));
        settle([&] { return status->text() == QStringLiteral("Offline: no background"); }, 5000);
    }
    canvas->grab();
    // A dot of the selection, or else the middle one, clicked for the side panel.
    const std::vector<velmora::map::Dot>& dots = canvas->paintedDots();
    if (!dots.empty()) {
        const velmora::map::Dot& dot = dots[highlightRow >= 0 ? dots.size() - 1 : dots.size() / 2];
        const QPointF at(dot.x, dot.y);
        sendMouse(canvas, QEvent::MouseButtonPress, at, Qt::LeftButton);
        sendMouse(canvas, QEvent::MouseButtonRelease, at, Qt::NoButton);
        sendMouse(canvas, QEvent::MouseMove, at + QPointF(40, 25), Qt::NoButton);
    }
    return window;
}

// A URL on 127.0.0.1 whose port refuses connections.
QString refusedTileUrl() {
    velmora::LoopbackTileServer server;
    server.start();
    const QString url = server.urlTemplate();
    server.stop();
    return url;
}

struct Scene {
    const char* name;
    std::function<QWidget*(Session&)> show;
};

// The large log of the map's density scenes; none: no such scenes.
QString largeLog;

std::vector<Scene> scenes() {
    std::vector<Scene> all = {
        {"form1-start", [](Session& s) { return &s.form1(); }},
        {"form1-loaded",
         [](Session& s) {
             s.load(QStringLiteral("drive-text.txt"));
             return &s.form1();
         }},
        {"form1-exported",
         [](Session& s) {
             s.load(QStringLiteral("drive-text.txt"));
             s.form1().convertAll();
             return &s.form1();
         }},
        {"form1-loaded-summary",
         [](Session& s) {
             s.load(QStringLiteral("drive-summary.txt"));
             return &s.form1();
         }},
        {"form1-closed",
         [](Session& s) {
             s.load(QStringLiteral("drive-text.txt"));
             s.form1().closeFile();
             return &s.form1();
         }},
        {"form2",
         [](Session& s) -> QWidget* {
             s.load(QStringLiteral("drive-summary.txt"));
             return s.open("APName", "Form2", 1);
         }},
        {"form3-selected",
         [](Session& s) -> QWidget* {
             s.provideVendorList();
             s.load(QStringLiteral("drive-text.txt"));
             return s.open("MACAddress", "Form3", 1);
         }},
        {"form3-filtered",
         [](Session& s) -> QWidget* {
             s.provideVendorList();
             s.load(QStringLiteral("drive-text.txt"));
             QWidget* form3 = s.open("MACAddress", "Form3", -1);
             auto* list = form3->findChild<velmora::EntryList*>(QStringLiteral("List2"));
             list->filterBox()->setText(QStringLiteral("home"));
             list->setCurrentIndex(list->model()->index(0, 0));
             return form3;
         }},
        {"form4-mac",
         [](Session& s) -> QWidget* {
             s.provideVendorList();
             s.load(QStringLiteral("drive-text.txt"));
             QWidget* form4 = s.open("AdvanceCriteria", "Form4", 1);
             form4->findChild<QAbstractButton*>(QStringLiteral("Option8"))->click();
             form4->findChild<velmora::EntryList*>(QStringLiteral("List1"))->selectEntry(0);
             return form4;
         }},
        {"map-offline",
         [](Session& s) -> QWidget* { return mapScene(s, refusedTileUrl(), nullptr, 1); }},
        {"map-tiles",
         [](Session& s) -> QWidget* { return mapScene(s, tileServer->urlTemplate(), tileServer); }},
        {"help-window",
         [](Session& s) -> QWidget* {
             s.form1().findChild<QAction*>(QStringLiteral("content"))->trigger();
             return s.form1().findChild<QWidget*>(QStringLiteral("HelpWindow"));
         }},
        {"frmabout",
         [](Session& s) -> QWidget* {
             s.form1().findChild<QAction*>(QStringLiteral("About"))->trigger();
             return s.form1().findChild<QWidget*>(QStringLiteral("frmAbout"));
         }},
    };
    if (!largeLog.isEmpty()) {
        all.push_back({"map-density", [](Session& s) -> QWidget* {
                           return mapScene(s, tileServer->urlTemplate(), tileServer, -1, largeLog);
                       }});
        all.push_back({"map-density-selection", [](Session& s) -> QWidget* {
                           return mapScene(s, tileServer->urlTemplate(), tileServer, 1, largeLog);
                       }});
    }
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tiles the map windows fetch are cached in a folder of this run, not the user's.
    const QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QApplication app(argc, argv);
    // The windows' settings (export choices, recent logs) start at their defaults in a folder of
    // this run: the pictures do not depend on the user's, nor change them.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const QStringList args = QCoreApplication::arguments();
    // An option is no folder: "--help" asks for this line, anything else is a mistake.
    if (args.size() < 2 || args.at(1).startsWith(QLatin1Char('-'))) {
        const bool help = args.size() >= 2 && args.at(1) == QStringLiteral("--help");
        std::fprintf(help ? stdout : stderr,
                     "usage: velmora-screenshots <out-folder> [samples-folder [large-log]]\n");
        return help ? 0 : 2;
    }
    const QDir out(args.at(1));
    const QString samples = args.size() > 2 ? args.at(2) : QStringLiteral(VELMORA_SAMPLES_DIR);
    if (args.size() > 3) largeLog = QFileInfo(args.at(3)).absoluteFilePath();
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }
    velmora::LoopbackTileServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot start the tile server on 127.0.0.1\n");
        return 1;
    }
    tileServer = &server;
    velmora::Beep::setSilent(true);
    velmora::MessageBox::setScripted(true);
    velmora::Shell::setScripted(true);

    int failures = 0;
    for (const Scene& scene : scenes()) {
        Session session(samples);
        QWidget* window = scene.show(session);
        window->show();
        QCoreApplication::processEvents();
        const QString file = out.filePath(QString::fromLatin1(scene.name) + ".png");
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
        FileDialog::clearScript();
    }
    return failures ? 1 : 0;
}
