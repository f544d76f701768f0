// SPDX-License-Identifier: GPL-3.0-or-later
// The map window: its dots, legend, picking, the Advanced windows' "Show on Map", the View
// menu, Save Image, and its background from a tile server on 127.0.0.1 (or none).
#include "ui/map_window.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "map/web_mercator.h"
#include "support/loopback_tile_server.h"
#include "support/ui_test_support.h"
#include "ui/file_names.h"
#include "ui/map_canvas.h"

using namespace velmora::uitest;

// clang-format off
// The sightings, far enough apart to be told apart at a street's zoom; cafe twice on one spot;
// WEP on four times, off twice, one ad hoc with WEP on. The last one lies on the other side of
// the globe.
const struct LogSighting { const char *lat, *lon, *ssid, *bssid, *flags; } kSightings[] = {
    {"N 10.0000000", "E 20.0000000", "home",   "00:0a:95:00:00:01", "0011"},
    {"N 10.0010000", "E 20.0010000", "Home",   "00:0A:95:00:00:01", "0011"},
    {"N 10.0020000", "E 20.0000000", "HOME",   "00:0a:95:00:00:02", "0012"},
    {"N 10.0000000", "E 20.0020000", "other",  "00:0A:95:00:00:01", "0011"},
    {"N 10.0020000", "E 20.0020000", "cafe",   "77:66:55:44:33:22", "0001"},
    {"N 10.0020000", "E 20.0020000", "cafe",   "77:66:55:44:33:22", "0001"},
    {"S 10.0010000", "W 20.0030000", "office", "00:09:5b:00:00:09", "0011"}};

// An Advanced window's pick (in MAC mode, after Option8, also a List1 pick), then Show on Map:
// the records highlighted.
const struct Shown { const char *name, *window, *entry, *option, *mac; std::set<std::uint32_t> records; }
kShown[] = {
    {"AP name HOME", "Form2", "HOME", nullptr, nullptr, {0, 1, 2}},
    {"MAC address of home", "Form3", "00:0A:95:00:00:01 - HOME", nullptr, nullptr, {0, 1, 3}},
    {"criteria MAC mode", "Form4", "HOME", "Option8", "00:0A:95:00:00:01", {0, 1, 3}}};
// clang-format on

static std::string mapLog(bool summary = false) {
    std::string log = test::textLog({});
    if (summary) log.replace(log.find("wi-scan with"), 12, "wi-scan summary with");
    for (const LogSighting& s : kSightings)
        log += test::dataLine(s.lat, s.lon, s.ssid, s.bssid, s.flags) + "\r\n";
    return log;
}

static double degrees(const char* text) {
    const double value = std::atof(text + 2);
    return text[0] == 'S' || text[0] == 'W' ? -value : value;
}

// Where a sighting lies on the canvas in its current view.
static QPoint pixelOf(const LogSighting& s, const map::View& view) {
    const map::WorldPoint w = map::project(degrees(s.lat), degrees(s.lon));
    const double scale = std::ldexp(1.0, view.zoom);
    return QPoint(static_cast<int>(std::floor(w.x * scale) - view.left),
                  static_cast<int>(std::floor(w.y * scale) - view.top));
}

class MapWindowTest : public QObject, Ui {
    Q_OBJECT

    // View > Map on a loaded log.
    static MapWindow* openMap(Program& p) {
        p.trigger("Map");
        return p.form->findChild<MapWindow*>("MapWindow");
    }
    // The test log loaded, then View > Map.
    static MapWindow* loadMap(Program& p) {
        p.load(mapLog());
        return openMap(p);
    }
    // The view put where every near sighting shows, on whole pixels.
    static map::View knownView(MapCanvas* canvas) {
        const map::WorldPoint centre = map::project(10.001, 20.001);
        const double scale = std::ldexp(1.0, 16);
        canvas->setView(16, std::floor(centre.x * scale) - 200, std::floor(centre.y * scale) - 150);
        return canvas->view();
    }
    // A click at `at` on the map, and then what its details show.
    static QString clickAt(MapWindow* w, QPoint at) {
        QTest::mouseClick(w->canvas(), Qt::LeftButton, {}, at);
        return w->findChild<QTextBrowser*>("details")->toPlainText().simplified();
    }
    static bool holdsAll(const QString& text, std::initializer_list<const char*> parts) {
        return std::all_of(parts.begin(), parts.end(),
                           [&](const char* p) { return text.contains(p); });
    }

  private slots:
    // Port 1 on 127.0.0.1 refuses connections: the map is offline.
    void initTestCase() { qputenv("VELMORA_TILE_URL", "http://127.0.0.1:1/{z}/{x}/{y}.png"); }
    void init() { freshSeams(); }

    // The map has the keys as it opens, and shows so with a frame that a saved image leaves out.
    // The legend's four counts add up to the dots, and WEP on with ad hoc WEP on is the main
    // window's WEP ON count; unchecking a box hides its status. Save Image writes the view as
    // PNG; a place it cannot write gets one error box.
    void focusLegendAndSaveImage() {
        Program p;
        p.form->show();
        MapWindow* w = loadMap(p);
        QVERIFY(QTest::qWaitForWindowActive(w) && w->canvas()->hasFocus());
        QVERIFY(w->canvas()->grab().toImage().pixel(1, 1) != w->canvas()->snapshot().pixel(1, 1));
        const int zoom = w->canvas()->view().zoom;
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Plus);  // to the focus
        QCOMPARE(w->canvas()->view().zoom, zoom + 1);
        std::size_t sum = 0, wepOn = 0;
        for (const char* name : {"showWepOn", "showWepOff", "showAdHocWepOn", "showAdHocWepOff"}) {
            QString label = w->findChild<QCheckBox*>(name)->text();
            const std::size_t n = label.section('(', -1).chopped(1).remove(',').toULongLong();
            sum += n;
            if (QString(name).endsWith("WepOn")) wepOn += n;
        }
        QCOMPARE(sum, w->sightings().size());
        QCOMPARE(wepOn, text(p.form.get(), "Label7").remove(',').toULongLong());
        w->findChild<QCheckBox*>("showAdHocWepOn")->setChecked(false);
        QCOMPARE(w->canvas()->shownStatuses(),
                 map::kAllStatuses & ~map::statusBit(map::Status::AdHocWepOn));

        const QString file = p.logs.filePath("view.png");
        FileDialog::scriptNext(p.logs.filePath("view"));
        click(w, "saveImageButton");
        // The view, and on it the legend with the statuses' colours.
        const QImage saved(file);
        QCOMPARE(saved.size(), w->canvas()->size());
        const QColor swatch = MapCanvas::statusColour(map::Status::WepOff);
        bool legend = false;
        for (int y = 8; y < 60 && !legend; ++y)
            for (int x = 8; x < 40 && !legend; ++x) legend = saved.pixelColor(x, y) == swatch;
        QVERIFY(legend);
        QVERIFY(MessageBox::shown().isEmpty());
        QVERIFY(QDir(p.logs.path()).mkpath("folder.png/kept"));
        FileDialog::scriptNext(p.logs.filePath("folder.png"));
        click(w, "saveImageButton");
        QVERIFY(oneBox(p.logs.filePath("folder.png") + ": "));
        FileDialog::scriptCancel();
        click(w, "saveImageButton");
        QCOMPARE(MessageBox::shown().size(), 1);
    }

    // A click a few pixels off a spot lists every sighting there; a click on nothing clears; a
    // drag pans; the wheel and the keys zoom; Fit shows every sighting.
    void clickDragAndZoom() {
        Program p;
        MapWindow* w = loadMap(p);
        const map::View view = knownView(w->canvas());
        QString text = clickAt(w, pixelOf(kSightings[4], view) + QPoint(3, -2));
        QVERIFY2(text.count("cafe") == 2 &&
                     holdsAll(text, {"2 sightings on this spot", "77:66:55:44:33:22"}),
                 qPrintable(text));
        text = clickAt(w, pixelOf(kSightings[0], view) + QPoint(-2, 2));
        QVERIFY2(!text.contains("cafe") &&
                     holdsAll(text, {"1 sighting on this spot", "home", "00:0a:95:00:00:01",
                                     "Example Corp", "Channels: 6", "Signal: 74 (SNR 25, noise 49)",
                                     "2004-06-05T01:02:03Z"}),
                 qPrintable(text));
        QVERIFY(clickAt(w, QPoint(5, 5)).isEmpty());
        // An access point's pin: at its first strongest sighting, with its sightings counted.
        p.trigger("OnePinPerAP");
        knownView(w->canvas());
        text = clickAt(w, pixelOf(kSightings[0], view));
        QVERIFY2(holdsAll(text, {"1 access point on this spot", "home", "Sightings: 3",
                                 "First seen: 2004-06-05T01:02:03Z"}),
                 qPrintable(text));
        // A drag pans and picks nothing.
        const map::View before = w->canvas()->view();
        QTest::mousePress(w->canvas(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(w->canvas(), QPoint(140, 130));
        QTest::mouseRelease(w->canvas(), Qt::LeftButton, {}, QPoint(140, 130));
        QCOMPARE(w->canvas()->view().left, before.left - 40);
        QCOMPARE(w->canvas()->view().top, before.top - 30);

        // The wheel and + / - zoom about the cursor: the world point under it stays put.
        knownView(w->canvas());
        const QPoint at = pixelOf(kSightings[1], w->canvas()->view());
        QWheelEvent wheel(at, w->canvas()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(w->canvas(), &wheel);
        // Within a pixel: a point's pixel at one zoom is one of four at the next.
        QCOMPARE(w->canvas()->view().zoom, 17);
        QVERIFY((pixelOf(kSightings[1], w->canvas()->view()) - at).manhattanLength() <= 2);
        QCursor::setPos(w->canvas()->mapToGlobal(at));
        QTest::keyClick(w->canvas(), Qt::Key_Minus);
        QTest::keyClick(w->canvas(), Qt::Key_Minus);
        QCOMPARE(w->canvas()->view().zoom, 15);
        QVERIFY((pixelOf(kSightings[1], w->canvas()->view()) - at).manhattanLength() <= 2);
        // Fit shows every sighting again, the far one included.
        click(w, "fitButton");
        for (const LogSighting& s : kSightings)
            QVERIFY(w->canvas()->rect().contains(pixelOf(s, w->canvas()->view())));
    }

    // Show on Map opens the map on exactly what the window's export writes and fits it.
    void showOnMapHighlightsTheSelection_data() { rows(kShown); }
    void showOnMapHighlightsTheSelection() {
        const Shown& s = fetch(kShown);
        Program p;
        p.load(mapLog(s.window == QString("Form2")));
        QWidget* window = p.show(s.window);
        pick(window, s.entry);
        if (s.option) click(window, s.option);
        if (s.mac && *s.mac) pick(window, s.mac, "List1");
        click(window, "ShowOnMap");
        auto* w = p.form->findChild<MapWindow*>("MapWindow");
        QVERIFY(w && w->isVisible() && w->sightings().hasHighlight());
        std::set<std::uint32_t> highlighted;
        for (const auto& point : w->sightings().points())
            if (point.highlighted) highlighted.insert(point.number);
        QCOMPARE(highlighted, s.records);
        w->canvas()->grab();
        for (const map::Dot& dot : w->canvas()->paintedDots())
            if (dot.highlighted) QVERIFY(w->canvas()->rect().contains(dot.x, dot.y));
        // The highlight follows a rebuild for one pin per access point.
        p.trigger("OnePinPerAP");
        QVERIFY(w->perAccessPoint() && w->sightings().hasHighlight());
        QCOMPARE(w->sightings().size(), 4u);
    }

    // View > Map and Ctrl+M only while a log is loaded; Close File unloads the map; one pin
    // per access point rebuilds it.
    void viewMenuAndLifecycle() {
        Program p;
        p.form->show();
        QVERIFY(QTest::qWaitForWindowActive(p.form.get()));
        QVERIFY(!p.action("view")->isEnabled());
        QTest::keyClick(p.form.get(), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(!p.form->findChild<MapWindow*>());
        p.load(mapLog());
        QVERIFY(p.action("view")->isEnabled() && p.action("Map")->isEnabled());
        QTest::keyClick(p.form.get(), Qt::Key_M, Qt::ControlModifier);
        QPointer<MapWindow> w = p.form->findChild<MapWindow*>();
        QVERIFY(w && w->isVisible());
        QCOMPARE(text(w, "statusLine").left(11), "7 sightings");
        QCOMPARE(openMap(p), w.data());  // one window
        p.trigger("OnePinPerAP");
        QVERIFY(w->perAccessPoint() && w->sightings().size() == 4);
        // Pins at the weighted centre: the first access point's three sightings move it.
        const auto places = [&] {
            std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
            for (const auto& point : w->sightings().points())
                out.emplace_back(point.position.x, point.position.y);
            return out;
        };
        const auto strongest = places();
        p.trigger("PinAtWeightedCentre");
        QVERIFY(w->sightings().size() == 4 && places() != strongest);
        p.trigger("PinAtWeightedCentre");
        p.trigger("OnePinPerAP");
        QCOMPARE(w->sightings().size(), std::size(kSightings));
        p.trigger("CloseFile");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w && !p.action("view")->isEnabled());
        // Its own close control unloads it too; the menu loads a fresh one.
        w = loadMap(p);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w && openMap(p));
    }

    // Without tiles: the graticule and "Offline: no background" with a Retry link, which asks
    // again at once; the first tile that comes ends it and lies under the dots (what is asked
    // for, and how, is the tile source's). Offline again, it says so once.
    void offlineUntilATileComes() {
        LoopbackTileServer server;
        QVERIFY(server.start());
        server.setAnswer(LoopbackTileServer::Answer::NotFound);
        Program p;
        p.load(mapLog());
        const QTemporaryDir cache;  // the map's own, with its tiles from the server
        MapWindow w(*p.form,
                    {corePath(p.output1()), {}, "drive.txt", server.urlTemplate(), cache.path()},
                    false);
        w.show();
        auto* status = w.findChild<QLabel*>("statusLine");
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("Offline: no background"), 20000);
        QVERIFY(status->text().contains("<a href=\"retry\">Retry</a>"));
        server.setAnswer(LoopbackTileServer::Answer::Tile);
        emit status->linkActivated("retry");
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), "7 sightings", 20000);
        // Near the top-left corner, away from the dots and the overlays, the tile's pixel.
        const QImage tile = QImage::fromData(LoopbackTileServer::tilePng());
        const auto showsTile = [&] {
            const map::View view = w.canvas()->view();
            const QPoint inTile((static_cast<int>(view.left) + 10) % 256,
                                (static_cast<int>(view.top) + 10) % 256);
            return w.canvas()->grab().toImage().pixelColor(10, 10) == tile.pixelColor(inTile);
        };
        QTRY_VERIFY_WITH_TIMEOUT(showsTile(), 20000);
        server.setAnswer(LoopbackTileServer::Answer::NotFound);
        w.canvas()->zoomAbout(QPoint(10, 10), -3);  // new tiles, which fail
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("Offline: no background"), 20000);
        w.showSelection(std::nullopt);
        const int asked = server.requests().size();
        w.canvas()->zoomAbout(QPoint(10, 10), 1);
        QTRY_VERIFY_WITH_TIMEOUT(server.requests().size() > asked, 20000);
        QCoreApplication::processEvents();
        QCOMPARE(status->text(), "Nothing selected to show");
        QVERIFY(MessageBox::shown().isEmpty());
    }
};

QTEST_MAIN(MapWindowTest)
#include "map_window_test.moc"
