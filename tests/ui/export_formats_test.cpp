// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu's export choices and the Advanced save dialogs' file types. The rows that write
// KML, GPX, GeoJSON or CSV need the map format sinks.
#include "support/ui_test_support.h"

using namespace velmora::uitest;

const QStringList kFormatItems = {"Format_st",      "Format_kml", "Format_gpx",
                                  "Format_geojson", "Format_csv", "Format_gpkg"};

// The format menu's captions, the checked one marked.
static QString formatMenu(const Program& p) {
    QStringList items;
    for (QAction* a : p.form->findChild<QMenu*>("ExportFormat")->actions())
        items << a->text() + (a->isChecked() ? "*" : "");
    return items.join('|');
}

// A main-window export with the menu's choices: the file written and its status line.
// clang-format off
const struct MainRun { const char *name, *format; bool perAp; const char *item, *file, *status; }
kMainRuns[] = {
    {"gpx per AP", "Format_gpx", true, "Sort1", "LOCKED_drive.gpx", "Quick Sort 1 Done!"},
    {"csv", "Format_csv", false, "Sort2", "UNLOCKED_drive.csv", "Quick Sort 2 Done!"},
    {"gpkg", "Format_gpkg", false, "Convertall", "FullConvert_drive.gpkg", "Full Convert Complete!"}};
// (Each format's file names and contents are the export's tests'; a row per way in checks the
// menu reaches them.)

// An Advanced export: the menu's format, the file type picked in the save dialog (-1: the one
// it starts on), the name typed ("": the offered one), and the file written.
const struct AdvancedRun {
    const char *name, *window, *entry, *format; int filter; const char *answer, *proposed, *file;
} kAdvancedRuns[] = {
    {"Form2 kml, picks st", "Form2", "HOME", "Format_kml", 0, "", "AP-HOME.kml", "AP-HOME.txt"},
    {"Form3 st, picks csv, types a name", "Form3", "00:0A:95:00:00:01 - HOME", "Format_st", 4,
     "mine", "MAC_000A95000001", "mine.csv"},
    {"Form4 geojson, picks csv", "Form4", "HOME", "Format_geojson", 4, "x.geojson",
     "Custom_SSID_HOME.geojson", "x.csv"}};
// clang-format on

// A folder's files, sorted, and the same with one more file.
static QStringList files(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files);
    names.sort();
    return names;
}
static QStringList withFile(QStringList names, const QString& file) {
    names << file;
    // A CSV file comes with its column types and projection.
    if (file.endsWith(QLatin1String(".csv")))
        names << file.chopped(4) + QLatin1String(".csvt")
              << file.chopped(4) + QLatin1String(".prj");
    names.sort();
    return names;
}

class ExportFormatsTest : public QObject, Ui {
    Q_OBJECT

  private slots:
    void init() { freshSeams(); }

    // The choices are always enabled, and a new main window (a new run) finds them as they were
    // left; one pin per access point applies to the Advanced windows' exports as well.
    void menuItemsAreKeptBetweenRuns() {
        {
            Program p;
            QCOMPARE(formatMenu(p), "Streets and Trips*|KML|GPX|GeoJSON|CSV|GeoPackage");
            p.load();
            for (const QString& name : kFormatItems + QStringList{"ExportFormat", "OnePinPerAP"})
                QVERIFY2(p.action(qPrintable(name))->isEnabled(), qPrintable(name));
            p.trigger("Format_gpx");
            p.trigger("Format_geojson");
            p.trigger("OnePinPerAP");
            p.trigger("PinAtWeightedCentre");
            QCOMPARE(formatMenu(p), "Streets and Trips|KML|GPX|GeoJSON*|CSV|GeoPackage");
        }
        Program again;
        QVERIFY(again.action("OnePinPerAP")->isChecked() &&
                again.action("PinAtWeightedCentre")->isChecked());
        QCOMPARE(formatMenu(again), "Streets and Trips|KML|GPX|GeoJSON*|CSV|GeoPackage");
        // One pin per access point reaches the Advanced exports too.
        again.trigger("Format_st");
        QWidget* w = again.loadAndShow("Form4");
        pick(w, "HOME");
        again.save(w, "pins.txt");
        QCOMPARE(exported(again.logs.filePath("pins.txt")),
                 "HOME;00:0A:95:00:00:01 HOME;00:0A:95:00:00:02");
    }

    void mainExportsWriteTheChosenFormat_data() { rows(kMainRuns); }
    void mainExportsWriteTheChosenFormat() {
        const MainRun& r = fetch(kMainRuns);
        Program p;
        p.trigger(r.format);
        if (r.perAp) p.trigger("OnePinPerAP");
        p.load();
        const QStringList before = files(p.logs.path());
        p.trigger(r.item);
        QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(MessageBox::shown().value(0).text));
        QCOMPARE(p.status(), r.status);
        QCOMPARE(files(p.logs.path()), withFile(before, r.file));
        const QByteArray written = readAll(p.logs.filePath(r.file));
        QVERIFY(!written.isEmpty() && !written.startsWith("Latitude;"));
    }

    // The save dialog starts on the menu's format; the file type picked sets the format and the
    // extension, and the menu's choice stays.
    void advancedSaveDialogsOfferEveryFormat_data() { rows(kAdvancedRuns); }
    void advancedSaveDialogsOfferEveryFormat() {
        const AdvancedRun& r = fetch(kAdvancedRuns);
        Program p;
        p.trigger(r.format);
        QWidget* w = p.loadAndShow(r.window);
        pick(w, r.entry);
        const QStringList before = files(p.logs.path());
        *r.answer ? FileDialog::scriptNext(p.logs.filePath(r.answer), r.filter)
                  : FileDialog::scriptAcceptOffered(r.filter);
        click(w, "Command1");
        QCOMPARE(FileDialog::lastStartFilter(), kFormatItems.indexOf(r.format));
        QCOMPARE(FileDialog::lastProposedName(), r.proposed);
        QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(MessageBox::shown().value(0).text));
        QCOMPARE(files(p.logs.path()), withFile(before, r.file));
        const bool streetsAndTrips = QString(r.file).endsWith(".txt", Qt::CaseInsensitive);
        QCOMPARE(readAll(p.logs.filePath(r.file)).startsWith("Latitude;"), streetsAndTrips);
        QVERIFY(p.action(r.format)->isChecked());
    }
};

QTEST_MAIN(ExportFormatsTest)
#include "export_formats_test.moc"
