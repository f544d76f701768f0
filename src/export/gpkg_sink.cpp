// SPDX-License-Identifier: GPL-3.0-or-later
// GeoPackage (OGC 12-128r18, version 1.3): an SQLite database with one table of points, every
// column of a declared type, WGS 84 geometries and an R-tree spatial index.
//
// SQLite writes the database into a scratch file beside the export, with no journal and no
// syncing (nothing of it is kept if the export fails); once it is complete the export walk takes
// that file itself, syncs it and puts it in place in one rename, as it does every format's
// output. All of the program's SQLite code is here.
#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "export/map_sinks.h"
#include "export/map_text.h"
#include "io/file_error.h"
#include "io/interrupt_cleanup.h"
#include "io/text_file_writer.h"

namespace velmora {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTable = "points";

// SQLite's type name for each kind of value a map point carries.
template <typename Value>
constexpr const char* columnType() {
    if constexpr (std::is_same_v<Value, int>)
        return "INTEGER";
    else if constexpr (std::is_same_v<Value, double>)
        return "DOUBLE";
    else
        return "TEXT";
}

constexpr const char* kWgs84 =
    "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
    "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,"
    "AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\","
    "\"9122\"]],AXIS[\"Latitude\",NORTH],AXIS[\"Longitude\",EAST],AUTHORITY[\"EPSG\",\"4326\"]]";

// The metadata tables, as the standard defines them, and the points table's place in them.
constexpr const char* kMetadata = R"(
PRAGMA application_id = 1196444487;
PRAGMA user_version = 10300;
CREATE TABLE gpkg_spatial_ref_sys (srs_name TEXT NOT NULL, srs_id INTEGER PRIMARY KEY,
  organization TEXT NOT NULL, organization_coordsys_id INTEGER NOT NULL,
  definition TEXT NOT NULL, description TEXT);
CREATE TABLE gpkg_contents (table_name TEXT NOT NULL PRIMARY KEY, data_type TEXT NOT NULL,
  identifier TEXT UNIQUE, description TEXT DEFAULT '',
  last_change DATETIME NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')),
  min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, max_y DOUBLE, srs_id INTEGER,
  CONSTRAINT fk_gc_r_srs_id FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys(srs_id));
CREATE TABLE gpkg_geometry_columns (table_name TEXT NOT NULL, column_name TEXT NOT NULL,
  geometry_type_name TEXT NOT NULL, srs_id INTEGER NOT NULL, z TINYINT NOT NULL,
  m TINYINT NOT NULL, CONSTRAINT pk_geom_cols PRIMARY KEY (table_name, column_name),
  CONSTRAINT uk_gc_table_name UNIQUE (table_name),
  CONSTRAINT fk_gc_tn FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name),
  CONSTRAINT fk_gc_srs FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys (srs_id));
CREATE TABLE gpkg_extensions (table_name TEXT, column_name TEXT, extension_name TEXT NOT NULL,
  definition TEXT NOT NULL, scope TEXT NOT NULL,
  CONSTRAINT ge_tce UNIQUE (table_name, column_name, extension_name));
INSERT INTO gpkg_spatial_ref_sys VALUES
  ('Undefined cartesian SRS', -1, 'NONE', -1, 'undefined',
   'undefined cartesian coordinate reference system'),
  ('Undefined geographic SRS', 0, 'NONE', 0, 'undefined',
   'undefined geographic coordinate reference system'),
  ('WGS 84 geodetic', 4326, 'EPSG', 4326, ?1, 'longitude/latitude coordinates in decimal degrees on the WGS 84 spheroid');
INSERT INTO gpkg_geometry_columns VALUES ('points', 'geom', 'POINT', 4326, 0, 0);
INSERT INTO gpkg_extensions VALUES ('points', 'geom', 'gpkg_rtree_index',
  'http://www.geopackage.org/spec120/#extension_rtree', 'write-only');
CREATE VIRTUAL TABLE rtree_points_geom USING rtree(id, minx, maxx, miny, maxy);
)";

// The R-tree's triggers, which keep it in step with later changes by other programs. They are
// made once the table is filled: their functions are the reading program's, not SQLite's.
constexpr const char* kTriggers = R"(
CREATE TRIGGER rtree_points_geom_insert AFTER INSERT ON points
  WHEN (new.geom NOT NULL AND NOT ST_IsEmpty(NEW.geom))
BEGIN INSERT OR REPLACE INTO rtree_points_geom VALUES (NEW.fid, ST_MinX(NEW.geom),
  ST_MaxX(NEW.geom), ST_MinY(NEW.geom), ST_MaxY(NEW.geom)); END;
CREATE TRIGGER rtree_points_geom_update1 AFTER UPDATE OF geom ON points
  WHEN OLD.fid = NEW.fid AND (NEW.geom NOTNULL AND NOT ST_IsEmpty(NEW.geom))
BEGIN INSERT OR REPLACE INTO rtree_points_geom VALUES (NEW.fid, ST_MinX(NEW.geom),
  ST_MaxX(NEW.geom), ST_MinY(NEW.geom), ST_MaxY(NEW.geom)); END;
CREATE TRIGGER rtree_points_geom_update2 AFTER UPDATE OF geom ON points
  WHEN OLD.fid = NEW.fid AND (NEW.geom ISNULL OR ST_IsEmpty(NEW.geom))
BEGIN DELETE FROM rtree_points_geom WHERE id = OLD.fid; END;
CREATE TRIGGER rtree_points_geom_update3 AFTER UPDATE ON points
  WHEN OLD.fid != NEW.fid AND (NEW.geom NOTNULL AND NOT ST_IsEmpty(NEW.geom))
BEGIN DELETE FROM rtree_points_geom WHERE id = OLD.fid;
  INSERT OR REPLACE INTO rtree_points_geom VALUES (NEW.fid, ST_MinX(NEW.geom),
  ST_MaxX(NEW.geom), ST_MinY(NEW.geom), ST_MaxY(NEW.geom)); END;
CREATE TRIGGER rtree_points_geom_update4 AFTER UPDATE ON points
  WHEN OLD.fid != NEW.fid AND (NEW.geom ISNULL OR ST_IsEmpty(NEW.geom))
BEGIN DELETE FROM rtree_points_geom WHERE id IN (OLD.fid, NEW.fid); END;
CREATE TRIGGER rtree_points_geom_delete AFTER DELETE ON points WHEN old.geom NOT NULL
BEGIN DELETE FROM rtree_points_geom WHERE id = OLD.fid; END;
)";

// A point as GeoPackage binary geometry: the "GP" header (version 0, little-endian, no
// envelope, srs 4326), then the point as little-endian WKB.
constexpr std::size_t kGeometrySize = 8 + 21;
void putGeometry(unsigned char* out, double x, double y) {
    static_assert(std::endian::native == std::endian::little);
    const unsigned char header[] = {'G', 'P', 0, 1, 0xE6, 0x10, 0, 0, 1, 1, 0, 0, 0};
    std::memcpy(out, header, sizeof header);
    std::memcpy(out + 13, &x, 8);
    std::memcpy(out + 21, &y, 8);
}

// The R-tree, built whole from every point at the end (sort-tile-recursive packing) and
// written straight into the tables of SQLite's R-tree module, in the form that module keeps:
// inserting a million points one by one through the module takes it tens of seconds.
//   <name>_node    (nodeno, data): node 1 is the root. data: the tree's depth (root only) and
//                  the number of cells, each a big-endian 16-bit number, then the cells, each
//                  a big-endian 64-bit id (a row's, or a child node's) and minx, maxx, miny,
//                  maxy as big-endian 32-bit floats, then zeros to the node size.
//   <name>_rowid   (rowid, nodeno): the leaf of each row.
//   <name>_parent  (nodeno, parentnode): the parent of each node but the root.
namespace rtree {

// The module's node size for 2-dimensional cells: 51 cells, its limit, which every page size
// from 2048 bytes up holds (less the module's 64-byte margin).
constexpr std::size_t kCellSize = 8 + 4 * 4;
constexpr std::size_t kMaxCells = 51;
constexpr std::size_t kNodeSize = 4 + kCellSize * kMaxCells;

struct Box {
    float minX, maxX, minY, maxY;
};
struct Cell {
    std::int64_t id;
    Box box;
};

// A coordinate as the module stores it: the float at or below (`down`) or above the value.
float rounded(double value, bool down) {
    float f = static_cast<float>(value);
    if (down && f > value) f = std::nextafter(f, -std::numeric_limits<float>::infinity());
    if (!down && f < value) f = std::nextafter(f, std::numeric_limits<float>::infinity());
    return f;
}

Box pointBox(double x, double y) {
    return {rounded(x, true), rounded(x, false), rounded(y, true), rounded(y, false)};
}

void putBig(unsigned char* at, std::uint64_t value, int bytes) {
    for (int k = bytes - 1; k >= 0; --k, value >>= 8) at[k] = static_cast<unsigned char>(value);
}

// Sorts `cells` into runs of at most kMaxCells that lie close together: slices by x, each
// sorted by y.
void tile(std::vector<Cell>& cells) {
    const auto centreX = [](const Cell& c) { return c.box.minX + c.box.maxX; };
    const auto centreY = [](const Cell& c) { return c.box.minY + c.box.maxY; };
    std::sort(cells.begin(), cells.end(),
              [&](const Cell& a, const Cell& b) { return centreX(a) < centreX(b); });
    const std::size_t nodes = (cells.size() + kMaxCells - 1) / kMaxCells;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(double(nodes))));
    const std::size_t perSlice = slices * kMaxCells;
    for (std::size_t at = 0; at < cells.size(); at += perSlice) {
        const auto end =
            cells.begin() + static_cast<std::ptrdiff_t>(std::min(cells.size(), at + perSlice));
        std::sort(cells.begin() + static_cast<std::ptrdiff_t>(at), end,
                  [&](const Cell& a, const Cell& b) { return centreY(a) < centreY(b); });
    }
}

}  // namespace rtree

double degrees(std::string_view text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

class GeoPackageSink final : public ExportSink {
  public:
    explicit GeoPackageSink(const VendorList* vendors) : vendors_(vendors) {}
    ~GeoPackageSink() override { discard(); }

    void placeBeside(const fs::path& target) override { target_ = target; }

    void begin(ExportOutput&) override {
        const fs::path folder = target_.empty() ? fs::temp_directory_path() : target_.parent_path();
        std::random_device random;
        const std::string name = target_.empty() ? "export" : target_.filename().string();
        scratch_ = (folder.empty() ? fs::path(".") : folder) /
                   ("." + name.substr(0, 200) + ".db-" + std::to_string(random()));
        cleanup_.emplace(scratch_);
        // Made here, empty, so the export gets the permissions every other export gets (SQLite
        // would make it 0644 whatever the umask allows); SQLite takes an empty file as a new
        // database.
        TextFileWriter(scratch_).close();
        // No count of SQLite's memory, which takes a lock on every allocation. Set before its
        // first use, if nothing came first; otherwise it stays as it is.
        static const int unmetered = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        (void)unmetered;
        if (sqlite3_open_v2(scratch_.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK)
            fail();
        // A scratch file: a failure discards it whole, so it needs neither journal nor syncs.
        // Larger pages take a quarter of the writes of 4096-byte ones (the R-tree's nodes keep
        // their own size); 65536-byte ones measured no faster. Rows are only ever appended, so a
        // small cache holds every page that still changes.
        run("PRAGMA page_size = 16384; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            "PRAGMA locking_mode = EXCLUSIVE; PRAGMA temp_store = MEMORY;"
            "PRAGMA cache_size = -4096; BEGIN;");
        {
            sqlite3_stmt* metadata = nullptr;
            const char* rest = kMetadata;
            while (*rest) {
                if (sqlite3_prepare_v2(db_, rest, -1, &metadata, &rest) != SQLITE_OK) fail();
                if (!metadata) break;
                sqlite3_bind_text(metadata, 1, kWgs84, -1, SQLITE_STATIC);
                const int done = sqlite3_step(metadata);
                sqlite3_finalize(metadata);
                if (done != SQLITE_DONE && done != SQLITE_ROW) fail();
            }
        }
        // The columns: those of every map format, each of its declared type.
        std::string create = "CREATE TABLE points (fid INTEGER PRIMARY KEY, geom POINT";
        std::string insert = "INSERT INTO points VALUES (?, ?";
        const auto column = [&](std::string_view name, const char* type) {
            create.append(", ").append(name).append(" ").append(type);
            insert += ", ?";
        };
        for (const char* name : {"name", "bssid", "type", "flags"}) column(name, "TEXT");
        column("wep", "BOOLEAN");
        column("channels", "TEXT");
        const MapPointView none;
        forEachMapValue(none, [&](std::string_view label, std::string_view, const auto& value) {
            column(label, columnType<typename std::remove_cvref_t<decltype(value)>::value_type>());
        });
        column("time", "DATETIME");
        column("vendor", "TEXT");
        column("sightings", "INTEGER");
        column("first_seen", "DATETIME");
        column("last_seen", "DATETIME");
        column("radius_m", "DOUBLE");
        run(create + ")");
        prepare(insert + ")", insert_);
    }

    void write(ExportOutput&, const ExportRecord& record) override {
        describeRecordInto(point_, store_, record, vendors_);
        const double x = degrees(point_.longitude);
        const double y = degrees(point_.latitude);
        minX_ = std::min(minX_, x);
        maxX_ = std::max(maxX_, x);
        minY_ = std::min(minY_, y);
        maxY_ = std::max(maxY_, y);
        int at = 1;
        // A null fid takes the next row id, counted from 1 in the new table: SQLite then appends
        // the row at the end without first looking for one of that id.
        sqlite3_bind_null(insert_, at++);
        ++count_;
        cells_.push_back({static_cast<std::int64_t>(count_), rtree::pointBox(x, y)});
        unsigned char geometry[kGeometrySize];
        putGeometry(geometry, x, y);
        sqlite3_bind_blob(insert_, at++, geometry, kGeometrySize, SQLITE_STATIC);
        // Texts go through the map formats' one rule (U+FFFD for a control character or a byte
        // that is no UTF-8), each into its own room, bound without a copy.
        std::size_t room = 0;
        const auto text = [&](std::string_view value) {
            if (room == texts_.size()) texts_.emplace_back();
            std::string& held = texts_[room++];
            if (held.size() < value.size() * map_text::kEscapedGrowth)
                held.resize(value.size() * map_text::kEscapedGrowth);
            static const map_text::AsciiEscapes escapes = map_text::makeEscapes({});
            const char* const end = map_text::putMapText(held.data(), value, escapes);
            sqlite3_bind_text(insert_, at++, held.data(), static_cast<int>(end - held.data()),
                              SQLITE_STATIC);
        };
        const auto nothing = [&] { sqlite3_bind_null(insert_, at++); };
        text(point_.name);
        text(point_.bssid);
        text(point_.type);
        text(point_.flags);
        if (point_.wep)
            sqlite3_bind_int(insert_, at++, *point_.wep ? 1 : 0);
        else
            nothing();
        if (point_.channels.empty() || point_.channels.size() * 4 > sizeof channels_) {
            nothing();
        } else {
            const char* const end = map_text::putChannels(channels_, point_.channels, ";");
            sqlite3_bind_text(insert_, at++, channels_, static_cast<int>(end - channels_),
                              SQLITE_STATIC);
        }
        forEachMapValue(point_, [&](std::string_view, std::string_view, const auto& value) {
            using Value = typename std::remove_cvref_t<decltype(value)>::value_type;
            if (!value)
                nothing();
            else if constexpr (std::is_same_v<Value, int>)
                sqlite3_bind_int(insert_, at++, *value);
            else if constexpr (std::is_same_v<Value, double>)
                sqlite3_bind_double(insert_, at++, *value);
            else
                text(*value);
        });
        // The standard's form of a time has milliseconds: "YYYY-MM-DDTHH:MM:SS.000Z". A bare
        // time of day (a log without a date) is no DATETIME: null.
        std::size_t times = 0;
        const auto time = [&](std::string_view value) {
            if (!map_text::isFullTime(value)) return nothing();
            char* const full = times_[times++];
            std::memcpy(full, value.data(), 19);
            std::memcpy(full + 19, ".000Z", 5);
            sqlite3_bind_text(insert_, at++, full, kTimeSize, SQLITE_STATIC);
        };
        time(point_.time);
        if (point_.vendor)
            text(*point_.vendor);
        else
            nothing();
        if (const AccessPointSummary* ap = point_.accessPoint) {
            sqlite3_bind_int64(insert_, at++, static_cast<sqlite3_int64>(ap->sightings));
            time(ap->firstSeen);
            time(ap->lastSeen);
            if (ap->radiusM)
                sqlite3_bind_double(insert_, at++, *ap->radiusM);
            else
                nothing();
        } else {
            for (int k = 0; k < 4; ++k) nothing();
        }
        if (sqlite3_step(insert_) != SQLITE_DONE) fail();
        sqlite3_reset(insert_);
    }

    void end(ExportOutput& out) override {
        sqlite3_finalize(insert_);
        insert_ = nullptr;
        buildIndex();
        run(kTriggers);
        sqlite3_stmt* contents = nullptr;
        prepare(
            "INSERT INTO gpkg_contents (table_name, data_type, identifier, min_x, min_y, "
            "max_x, max_y, srs_id) VALUES ('points', 'features', 'points', ?, ?, ?, ?, "
            "4326)",
            contents);
        if (count_ > 0) {
            sqlite3_bind_double(contents, 1, minX_);
            sqlite3_bind_double(contents, 2, minY_);
            sqlite3_bind_double(contents, 3, maxX_);
            sqlite3_bind_double(contents, 4, maxY_);
        }
        const int done = sqlite3_step(contents);
        sqlite3_finalize(contents);
        if (done != SQLITE_DONE) fail();
        run("COMMIT");
        if (sqlite3_close(db_) != SQLITE_OK) fail();
        db_ = nullptr;
        // Beside its target, the database is the export: it is handed over as it is.
        if (!target_.empty()) return;
        copyInto(out);
        discard();
    }

    fs::path takeBuiltFile() override {
        if (target_.empty() || db_ || scratch_.empty()) return {};
        fs::path built;
        built.swap(scratch_);
        // Its interrupt cleanup stays with the sink a little longer: after the rename it finds
        // nothing to delete.
        return built;
    }

    bool wantsExtras() const override { return true; }

  private:
    static constexpr std::size_t kChannelsRoom = 256;
    static constexpr int kTimeSize = 24;

    // The spatial index of every point written, packed.
    void buildIndex() {
        using namespace rtree;
        Statement node(*this,
                       "INSERT OR REPLACE INTO rtree_points_geom_node (nodeno, data) "
                       "VALUES (?, ?)");
        Statement parent(*this,
                         "INSERT INTO rtree_points_geom_parent (nodeno, parentnode) "
                         "VALUES (?, ?)");
        // The leaf of each row, in row order from row ?2 on: ?1 is a JSON array of node numbers,
        // so that one statement's run appends thousands of rows.
        Statement rowid(*this,
                        "INSERT INTO rtree_points_geom_rowid (rowid, nodeno) "
                        "SELECT ?2 + key, value FROM json_each(?1)");
        if (cells_.empty()) return;                            // the module's empty root stands
        std::vector<std::uint32_t> leafOf(cells_.size() + 1);  // by row id
        std::vector<Cell> level = std::move(cells_);
        cells_ = {};
        std::int64_t next = 2;  // node 1 is the root
        for (int depth = 0;; ++depth) {
            const bool root = level.size() <= kMaxCells;
            if (!root) tile(level);
            std::vector<Cell> above;
            for (std::size_t at = 0; at < level.size(); at += kMaxCells) {
                const std::size_t count = std::min(kMaxCells, level.size() - at);
                const std::int64_t nodeno = root ? 1 : next++;
                unsigned char data[kNodeSize] = {};
                putBig(data, root ? static_cast<unsigned>(depth) : 0, 2);
                putBig(data + 2, count, 2);
                Box box = level[at].box;
                for (std::size_t k = 0; k < count; ++k) {
                    const Cell& cell = level[at + k];
                    unsigned char* const p = data + 4 + k * kCellSize;
                    putBig(p, static_cast<std::uint64_t>(cell.id), 8);
                    const float values[] = {cell.box.minX, cell.box.maxX, cell.box.minY,
                                            cell.box.maxY};
                    for (std::size_t v = 0; v < 4; ++v)
                        putBig(p + 8 + 4 * v, std::bit_cast<std::uint32_t>(values[v]), 4);
                    box = {std::min(box.minX, cell.box.minX), std::max(box.maxX, cell.box.maxX),
                           std::min(box.minY, cell.box.minY), std::max(box.maxY, cell.box.maxY)};
                    if (depth == 0)
                        leafOf[static_cast<std::size_t>(cell.id)] =
                            static_cast<std::uint32_t>(nodeno);
                    else
                        parent.step(cell.id, nodeno);
                }
                sqlite3_bind_int64(node.statement, 1, nodeno);
                sqlite3_bind_blob(node.statement, 2, data, kNodeSize, SQLITE_STATIC);
                node.step();
                above.push_back({nodeno, box});
            }
            if (root) break;
            level = std::move(above);
        }
        // In row order: each appended at the end of its table.
        constexpr std::size_t kRun = std::size_t{1} << 16;
        std::string nodes;
        for (std::size_t first = 1; first < leafOf.size(); first += kRun) {
            nodes = "[";
            const std::size_t last = std::min(leafOf.size(), first + kRun);
            for (std::size_t id = first; id < last; ++id) {
                char digits[16];
                const auto end = std::to_chars(digits, digits + sizeof digits, leafOf[id]).ptr;
                nodes.append(digits, end).push_back(',');
            }
            nodes.back() = ']';
            sqlite3_bind_text(rowid.statement, 1, nodes.data(), static_cast<int>(nodes.size()),
                              SQLITE_STATIC);
            sqlite3_bind_int64(rowid.statement, 2, static_cast<sqlite3_int64>(first));
            rowid.step();
        }
    }

    // A prepared statement, finalized when it goes.
    struct Statement {
        Statement(GeoPackageSink& sink, const char* sql) : sink(sink) {
            sink.prepare(sql, statement);
        }
        ~Statement() { sqlite3_finalize(statement); }
        void step() {
            if (sqlite3_step(statement) != SQLITE_DONE) sink.fail();
            sqlite3_reset(statement);
        }
        void step(std::int64_t a, std::int64_t b) {
            sqlite3_bind_int64(statement, 1, a);
            sqlite3_bind_int64(statement, 2, b);
            step();
        }
        GeoPackageSink& sink;
        sqlite3_stmt* statement = nullptr;
    };

    void run(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail();
    }
    void prepare(const std::string& sql, sqlite3_stmt*& statement) {
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) fail();
    }

    // The database's failure as the export's: the system's reason where the system refused
    // (a full disk, a folder that cannot be written), else SQLite's.
    [[noreturn]] void fail() {
        std::string reason = "cannot write the database";
        if (db_) {
            const int system = sqlite3_system_errno(db_);
            reason = system != 0 ? std::strerror(system) : sqlite3_errmsg(db_);
        }
        discard();
        throw FileError(target_.empty() ? scratch_ : target_, reason);
    }

    // The finished database's bytes into the export's output.
    void copyInto(ExportOutput& out) {
        std::FILE* const in = std::fopen(scratch_.c_str(), "rb");
        if (!in) throw FileError(target_, systemReason());
        constexpr std::size_t kChunk = std::size_t{1} << 20;
        for (;;) {
            char* const room = out.reserve(kChunk);
            const std::size_t got = std::fread(room, 1, kChunk, in);
            out.commit(room + got);
            if (got < kChunk) break;
        }
        const bool failed = std::ferror(in);
        std::fclose(in);
        if (failed) throw FileError(target_, "cannot read the database back");
    }

    void discard() {
        if (insert_) sqlite3_finalize(insert_);
        insert_ = nullptr;
        if (db_) sqlite3_close_v2(db_);
        db_ = nullptr;
        if (!scratch_.empty()) {
            std::error_code ignored;
            fs::remove(scratch_, ignored);
            scratch_.clear();
        }
        cleanup_.reset();
    }

    const VendorList* vendors_;
    fs::path target_;
    fs::path scratch_;
    std::optional<InterruptCleanup> cleanup_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    std::uint64_t count_ = 0;
    double minX_ = std::numeric_limits<double>::infinity();
    double maxX_ = -std::numeric_limits<double>::infinity();
    double minY_ = std::numeric_limits<double>::infinity();
    double maxY_ = -std::numeric_limits<double>::infinity();
    std::vector<rtree::Cell> cells_;  // each point's place in the index, in row order
    MapPointView point_;
    MapPointStore store_;
    std::deque<std::string> texts_;  // the record's texts as bound; a deque never moves them
    // The record's channels and times as bound, until the row is stepped.
    char channels_[kChannelsRoom];
    char times_[3][kTimeSize];
};

}  // namespace

std::unique_ptr<ExportSink> makeGeoPackageSink(const VendorList* vendors) {
    return std::make_unique<GeoPackageSink>(vendors);
}

}  // namespace velmora
