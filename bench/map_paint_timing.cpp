// SPDX-License-Identifier: GPL-3.0-or-later
// Times the map window as the user meets it, on the offscreen platform: opening it on a working
// record file (reading the file into its sighting map and the first paint) and a whole repaint
// of its 1000 x 700 canvas (background, density cells and dots, scale bar) at three zoom levels,
// panned a little between runs as a drag would, with nothing highlighted and then with one
// access point's sightings highlighted. The entries column counts what was drawn: dots and
// density cells. No tile server is reached: tiles come from a refused port on
// 127.0.0.1, so the graticule is drawn. Prints the lines velmora-window-timing prints.
//
//   velmora-map-timing OUTPUT1 REPS
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QTcpServer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "advanced/mac_access_points.h"
#include "map/sighting_map.h"
#include "records/ascii.h"
#include "records/record_walk.h"
#include "timing_report.h"
#include "ui/map_canvas.h"
#include "ui/map_window.h"

namespace {

using velmora::bench::Clock;
using velmora::bench::report;
using velmora::bench::seconds;

QString refusedUrl() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server.serverPort());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora-map-timing OUTPUT1 REPS\n");
        return 2;
    }
    const QString workingFile = QString::fromLocal8Bit(argv[1]);
    const int reps = std::max(1, std::atoi(argv[2]));
    using namespace velmora;

    QWidget owner;
    const MapWindowPaths paths{workingFile.toStdString(),
                               {},
                               QStringLiteral("log"),
                               refusedUrl(),
                               QDir::temp().filePath(QStringLiteral("velmora-map-timing"))};
    // The window sized so that its canvas is 1000 x 700, whatever room the screen gave it.
    // The canvas at 1000 x 700, whatever room the screen gave the window: its layout lets go.
    const auto canvasAt1000x700 = [](MapWindow& window) {
        window.layout()->setEnabled(false);
        window.canvas()->resize(1000, 700);
    };
    std::vector<double> opens;
    std::size_t points = 0;
    for (int i = 0; i < reps; ++i) {
        const auto start = Clock::now();
        MapWindow window(owner, paths, false);
        canvasAt1000x700(window);
        window.canvas()->grab();
        opens.push_back(seconds(start));
        points = window.sightings().size();
    }
    report("open map window (build and first paint)", opens, points);

    MapWindow window(owner, paths, false);
    MapCanvas* canvas = window.canvas();
    canvasAt1000x700(window);
    window.fitView();
    const map::View fitted = canvas->view();
    QImage image(canvas->size(), QImage::Format_ARGB32_Premultiplied);
    const struct {
        const char* name;
        int zoom;
    } levels[] = {{"map repaint, every sighting (1000x700 at the fitted zoom)", fitted.zoom},
                  {"map repaint, a city (1000x700 at zoom 13)", 13},
                  {"map repaint, a street (1000x700 at zoom 17)", 17}};
    const double centreX = (fitted.left + 500) / std::ldexp(1.0, fitted.zoom);
    const double centreY = (fitted.top + 350) / std::ldexp(1.0, fitted.zoom);
    const auto repaints = [&](const char* suffix) {
        for (const auto& level : levels) {
            std::vector<double> times;
            std::size_t drawn = 0;
            const double scale = std::ldexp(1.0, level.zoom);
            for (int i = 0; i < std::max(reps, 5); ++i) {
                canvas->setView(level.zoom, centreX * scale - 500 + 37 * i,
                                centreY * scale - 350 + 23 * i);
                const auto start = Clock::now();
                canvas->render(&image);
                times.push_back(seconds(start));
                drawn = canvas->paintedDots().size() + canvas->paintedCells().size();
            }
            report((level.name + std::string(suffix)).c_str(), times, drawn);
        }
    };
    repaints("");
    // The first access point's sightings (the first record's BSSID), the rest subdued.
    std::string bssid;
    velmora::forEachRecord(workingFile.toStdString(), [&](const velmora::RecordFields& fields) {
        bssid = std::string(fields[velmora::WorkingRecord::BSSID]);
        return false;
    });
    bssid = velmora::toUpperAscii(bssid);
    window.showSelection(
        MapSelection{velmora::macAddressSelection(bssid), QString::fromStdString(bssid)});
    repaints(", one access point highlighted");
    return 0;
}
