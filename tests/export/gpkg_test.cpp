// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "export/export_format.h"
#include "export/main_exports.h"
#include "io/interrupt_cleanup.h"
#include "io/text_file_writer.h"
#include "loader/source_loader.h"
#include "records/working_files.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// What `command` prints on its standard output.
std::string output(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

class GeoPackageExport : public ::testing::Test {
  protected:
    void SetUp() override {
        // A BSSID and flags that a reader guessing types would take for a time and a number.
        test::writeFile(dir / "drive.txt",
                        test::textLog({test::dataLine("N 41.5000000", "E 2.5000000", "Caf\xe9",
                                                      "00:09:5B:EE:E7:61", "0031"),
                                       test::dataLine("S 33.2500000", "W 81.7500000", "HOMENET",
                                                      "00:0c:41:aa:bb:01", "0002", "ad-hoc"),
                                       test::dataLine("N 41.6000000", "E 2.6000000", "Caf\xe9",
                                                      "00:09:5b:ee:e7:61", "0031")}));
        fs::create_directory(files.folder);
        ASSERT_EQ(loadSourceLog(dir / "drive.txt", files).status, LoadStatus::Loaded);
    }

    // `points` points on a grid of 150 columns, half a degree apart north to south, in place of
    // the log: written in runs of rows, several of them beyond 8,192 points. Points 8,193 to
    // 16,384, whole runs, have no channels.
    void loadGrid(int points) {
        std::string log;
        for (int k = 0; k < points; ++k) {
            char lat[32], lon[32], bssid[32];
            std::snprintf(lat, sizeof lat, "N %d.%07d", 1 + k / 300,
                          k / 150 % 2 * 5000000 + k % 7 * 1000);
            std::snprintf(lon, sizeof lon, "W %d.5000000", k % 150);
            std::snprintf(bssid, sizeof bssid, "00:0c:41:aa:%02x:%02x", k / 256, k % 256);
            std::string line = test::dataLine(lat, lon, "grid", bssid, "0011");
            if (k >= 8192 && k < 16384) line.replace(line.find("\t00000040\t"), 10, "\t00000000\t");
            log += line + "\r\n";
        }
        test::writeFile(dir / "drive.txt", test::textLog({}) + log);
        ASSERT_EQ(loadSourceLog(dir / "drive.txt", files).status, LoadStatus::Loaded);
    }

    fs::path exportTo(bool perAccessPoint) {
        ExportStyle style;
        style.format = ExportFormat::GeoPackage;
        style.perAccessPoint = perAccessPoint;
        return runMainExport(MainExport::ConvertAll, files.output1(), dir.path(), "drive.txt",
                             style);
    }

    test::TempDir dir;
    const WorkingFiles files{dir / "work"};
};

// GDAL reads the declared type of every column, every point, its values as written and the
// spatial index; one pin per access point fills its three columns.
TEST_F(GeoPackageExport, GdalReadsTypesValuesAndIndex) {
    if (output("command -v ogrinfo").empty()) GTEST_SKIP() << "ogrinfo is missing (tools/setup.sh)";
    for (const bool perAccessPoint : {false, true}) {
        const std::string file = "'" + exportTo(perAccessPoint).string() + "'";
        const std::string summary = output("ogrinfo -ro -so " + file + " points");
        for (const char* line :
             {"Geometry: Point",       "ID[\"EPSG\",4326]",    "name: String",
              "bssid: String",         "type: String",         "flags: String",
              "wep: Integer(Boolean)", "channels: String",     "snr: Integer64",
              "signal: Integer64",     "noise: Integer64",     "rssi: Integer64",
              "auth: String",          "altitude: Real",       "time: DateTime",
              "vendor: String",        "sightings: Integer64", "first_seen: DateTime",
              "last_seen: DateTime",   "radius_m: Real"})
            EXPECT_NE(summary.find(line), std::string::npos) << line << "\n" << summary;
        EXPECT_NE(summary.find(perAccessPoint ? "Feature Count: 2" : "Feature Count: 3"),
                  std::string::npos)
            << summary;
        EXPECT_NE(
            output("ogrinfo -ro " + file + " -sql \"SELECT HasSpatialIndex('points','geom')\"")
                .find("HasSpatialIndex (Integer) = 1"),
            std::string::npos);
        // A single leaf, which is the root.
        EXPECT_NE(output("ogrinfo -ro " + file + " -sql \"SELECT rtreecheck('rtree_points_geom')\"")
                      .find("= ok\n"),
                  std::string::npos);
        const std::string all = output("ogrinfo -ro -al -q " + file);
        EXPECT_EQ(all.find("Warning"), std::string::npos) << all;
        for (const char* value :
             {"name (String) = Caf\u00e9\n", "bssid (String) = 00:09:5B:EE:E7:61\n",
              "flags (String) = 0031\n", "type (String) = ad-hoc\n", "snr (Integer64) = 25\n",
              "time (DateTime) = 2004/06/05 01:02:03+00\n", "POINT (2.5 41.5)",
              "POINT (-81.75 -33.25)"})
            EXPECT_NE(all.find(value), std::string::npos) << value << "\n" << all;
        EXPECT_EQ(all.find("sightings (Integer64) = 2\n") != std::string::npos, perAccessPoint);
    }
}

// 18,000 points, written in runs of rows: every row in order, a database and an index
// SQLite itself finds sound, and a window asks the index for exactly the points inside.
TEST_F(GeoPackageExport, TheIndexHoldsEveryPoint) {
    if (output("command -v ogrinfo").empty()) GTEST_SKIP() << "ogrinfo is missing (tools/setup.sh)";
    loadGrid(18000);
    const std::string file = "'" + exportTo(false).string() + "'";
    const auto sql = [&](const std::string& query) {
        return output("ogrinfo -ro " + file + " -sql \"" + query + "\"");
    };
    EXPECT_NE(sql("PRAGMA integrity_check").find("= ok\n"), std::string::npos);
    EXPECT_NE(sql("SELECT rtreecheck('rtree_points_geom')").find("= ok\n"), std::string::npos);
    const std::string row = sql("SELECT bssid FROM points WHERE fid = 16385");
    EXPECT_NE(row.find("= 00:0c:41:aa:40:00\n"), std::string::npos) << row;
    // A column null all through a run leaves the others in their places.
    const std::string counts =
        sql("SELECT count(*) AS n, sum(channels IS NULL) AS none, sum(snr = 25) AS snr, "
            "max(fid) AS last FROM points");
    for (const char* count : {"n (Integer) = 18000", "none (Integer) = 8192",
                              "snr (Integer) = 18000", "last (Integer) = 18000"})
        EXPECT_NE(counts.find(count), std::string::npos) << count << "\n" << counts;
    // The leaves of the index hold points close together: a run's leaves are slices of its part
    // of the grid about 24 columns wide (7 slices of 2,048 points), each a row or two high.
    const std::string leaves =
        sql("SELECT avg(w) < 30 AS narrow, avg(h) < 2 AS low FROM (SELECT max(maxx) - min(minx) AS "
            "w, max(maxy) - min(miny) AS h FROM rtree_points_geom r JOIN rtree_points_geom_rowid l "
            "ON l.rowid = r.id GROUP BY nodeno)");
    for (const char* check : {"narrow (Integer) = 1", "low (Integer) = 1"})
        EXPECT_NE(leaves.find(check), std::string::npos) << check << "\n" << leaves;
    // Longitudes W 10.5 to W 19.5 and latitudes 20 to 29.5: 10 columns and 20 rows of the grid.
    EXPECT_NE(output("ogrinfo -ro -so -spat -20 19.9 -10 29.9 " + file + " points")
                  .find("Feature Count: 200\n"),
              std::string::npos);
}

// A write that fails midway (the disk fills) reports the export's name, and an interrupt stops
// the export; either leaves the earlier file whole, with no scratch file beside it. The disk
// fills at the start, and while the rows' thread writes runs with more coming.
TEST_F(GeoPackageExport, AFailedWriteLeavesTheEarlierFile) {
    const fs::path target = exportTo(false);
    const std::string earlier = test::readFile(target);
    const auto entries = [&] {
        return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    };
    const auto before = entries();
    const auto diskFills = [&] {
        return test::fileErrorPath([&] { exportTo(false); }) == target &&
               test::readFile(target) == earlier && entries() == before;
    };
    EXPECT_EXIT(test::exitWith(diskFills, 20000), ::testing::ExitedWithCode(0), "");
    loadGrid(30000);
    EXPECT_EXIT(test::exitWith(diskFills, 1000000), ::testing::ExitedWithCode(0), "");
    // Stopped with the database complete, just before it takes the name.
    const int status = test::runInChild([&] {
        cleanupOnInterrupt();
        TextFileWriter::setPlacementPause([] { std::raise(SIGTERM); });
        exportTo(false);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(test::readFile(target), earlier);
    EXPECT_EQ(entries(), before);
}

}  // namespace
}  // namespace velmora
