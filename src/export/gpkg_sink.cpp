// SPDX-License-Identifier: GPL-3.0-or-later
// GeoPackage (OGC 12-128r18, version 1.3): an SQLite database with one table of points, every
// column of a declared type, WGS 84 geometries and an R-tree spatial index.
//
// SQLite writes the database into a scratch file beside the export, with no journal and no
// syncing (nothing of it is kept if the export fails); once it is complete the export walk takes
// that file itself, syncs it and puts it in place in one rename, as it does every format's
// output. All of the program's SQLite code is here.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "export/map_sinks.h"
#include "export/map_text.h"
#include "io/file_error.h"
#include "io/interrupt_cleanup.h"
#include "io/text_file_writer.h"

namespace velmora {

namespace {

namespace fs = std::filesystem;

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

// The R-tree, packed (sort-tile-recursive) and written straight into the tables of SQLite's
// R-tree module, in the form that module keeps: inserting a million points one by one through
// the module takes it tens of seconds. The leaves are packed from each run of rows as it is
// written (a run's points lie close together along a drive), the levels above them from all the
// leaves at the end.
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

// A float's bits as an unsigned number in the float's order (negative zero just below zero).
std::uint32_t orderedBits(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

// Sorts `count` items by their upper 32 bits, a byte at a time from the lowest (a byte that
// every item shares takes no pass); `spare` is room for as many.
void sortByUpperHalf(std::uint64_t* items, std::size_t count, std::uint64_t* spare) {
    std::uint64_t* from = items;
    std::uint64_t* to = spare;
    for (int shift = 32; shift < 64; shift += 8) {
        std::size_t at[256] = {};
        for (std::size_t k = 0; k < count; ++k) ++at[(from[k] >> shift) & 0xFF];
        if (at[(from[0] >> shift) & 0xFF] == count) continue;
        std::size_t sum = 0;
        for (std::size_t& bucket : at) sum += std::exchange(bucket, sum);
        for (std::size_t k = 0; k < count; ++k) to[at[(from[k] >> shift) & 0xFF]++] = from[k];
        std::swap(from, to);
    }
    if (from != items) std::memcpy(items, from, count * sizeof *items);
}

// Room that tile() reuses from call to call.
struct TileScratch {
    std::vector<std::uint64_t> keys, spare;
    std::vector<Cell> cells;
};

// Sorts `cells` into runs of at most kMaxCells that lie close together (sort-tile-recursive):
// slices by the centres' x, each slice sorted by y. Each item sorted is a centre's bits above
// the cell's place.
void tile(std::vector<Cell>& cells, TileScratch& scratch) {
    const std::size_t count = cells.size();
    if (count <= kMaxCells) return;
    scratch.keys.resize(count);
    scratch.spare.resize(count);
    scratch.cells.resize(count);
    std::uint64_t* const keys = scratch.keys.data();
    const auto keyed = [](float centre, std::size_t at) {
        return std::uint64_t{orderedBits(centre)} << 32 | at;
    };
    for (std::size_t k = 0; k < count; ++k)
        keys[k] = keyed(cells[k].box.minX + cells[k].box.maxX, k);
    sortByUpperHalf(keys, count, scratch.spare.data());
    for (std::size_t k = 0; k < count; ++k)
        scratch.cells[k] = cells[static_cast<std::uint32_t>(keys[k])];
    const std::size_t nodes = (count + kMaxCells - 1) / kMaxCells;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(double(nodes))));
    const std::size_t perSlice = slices * kMaxCells;
    for (std::size_t at = 0; at < count; at += perSlice) {
        const std::size_t end = std::min(count, at + perSlice);
        for (std::size_t k = at; k < end; ++k)
            keys[k] = keyed(scratch.cells[k].box.minY + scratch.cells[k].box.maxY, k);
        sortByUpperHalf(keys + at, end - at, scratch.spare.data());
        for (std::size_t k = at; k < end; ++k)
            cells[k] = scratch.cells[static_cast<std::uint32_t>(keys[k])];
    }
}

// Writes the node of the `count` cells from `cells` into `data` (kNodeSize bytes): `depth` is
// the tree's for the root, 0 for any other node. Returns the box around the cells.
Box putNode(unsigned char* data, const Cell* cells, std::size_t count, unsigned depth) {
    std::memset(data, 0, kNodeSize);
    putBig(data, depth, 2);
    putBig(data + 2, count, 2);
    Box box = cells[0].box;
    for (std::size_t k = 0; k < count; ++k) {
        const Cell& cell = cells[k];
        unsigned char* const p = data + 4 + k * kCellSize;
        putBig(p, static_cast<std::uint64_t>(cell.id), 8);
        const float values[] = {cell.box.minX, cell.box.maxX, cell.box.minY, cell.box.maxY};
        for (std::size_t v = 0; v < 4; ++v)
            putBig(p + 8 + 4 * v, std::bit_cast<std::uint32_t>(values[v]), 4);
        box = {std::min(box.minX, cell.box.minX), std::max(box.maxX, cell.box.maxX),
               std::min(box.minY, cell.box.minY), std::max(box.maxY, cell.box.maxY)};
    }
    return box;
}

}  // namespace rtree

double degrees(std::string_view text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// One value of a row, as the thread that describes the records leaves it for the one that writes
// the database: a number as it is, a text or blob as a place in its batch's bytes.
struct RowValue {
    enum class Kind : std::uint8_t { Null, Int, Double, Text, Blob };
    Kind kind = Kind::Null;
    std::uint32_t size = 0;
    std::int64_t number = 0;  // the integer, the double's bits, or the offset of the bytes
};

// A run of consecutive rows, each of the same number of values (every column but fid).
struct RowBatch {
    std::vector<RowValue> values;  // the first `used` are the rows'
    std::size_t used = 0;
    std::vector<char> bytes;  // the first `length` are the rows'
    std::size_t length = 0;
    std::size_t rows = 0;
    std::int64_t firstRow = 1;  // the fid of the first row
    // The columns with a value in some row: bit k for a row's k-th value, k < 64.
    std::uint64_t present = 0;
    // The R-tree's leaves of the run's points: their nodes, one after the other, numbered from
    // firstLeaf; and the leaf of each row, in row order.
    std::string leaves;
    std::int64_t firstLeaf = 0;
    std::vector<std::uint32_t> leafOf;

    // Empties the batch for rows from `first` on, with room for `room` values.
    void clear(std::int64_t first, std::size_t room) {
        if (values.size() < room) values.resize(room);
        used = 0;
        length = 0;
        rows = 0;
        firstRow = first;
        present = 0;
        rowStart_ = 0;
        leaves.clear();
        leafOf.clear();
    }
    void null() { values[used++] = {}; }
    void integer(std::int64_t value) {
        mark();
        values[used++] = {RowValue::Kind::Int, 0, value};
    }
    void real(double value) {
        mark();
        values[used++] = {RowValue::Kind::Double, 0, std::bit_cast<std::int64_t>(value)};
    }
    // Room for `size` bytes at the end; end() then keeps what was written up to `end`.
    char* room(std::size_t size) {
        roomAt_ = length;
        if (bytes.size() < length + size) bytes.resize(std::max(2 * bytes.size(), length + size));
        length += size;
        return bytes.data() + roomAt_;
    }
    void end(RowValue::Kind kind, const char* end) {
        const auto size = static_cast<std::size_t>(end - (bytes.data() + roomAt_));
        length = roomAt_ + size;
        mark();
        values[used++] = {kind, static_cast<std::uint32_t>(size),
                          static_cast<std::int64_t>(roomAt_)};
    }

    // The row's values are all in.
    void endRow() {
        ++rows;
        rowStart_ = used;
    }

  private:
    void mark() {
        if (const std::size_t column = used - rowStart_; column < 64)
            present |= std::uint64_t{1} << column;
    }

    std::size_t roomAt_ = 0;
    std::size_t rowStart_ = 0;  // the first value of the row being written
};

// The rows of a batch as SQLite reads them, one for each row of `batch`, so that one statement
// inserts a whole run: a virtual table of the connection's, with no place in its database. The
// table run_rows has the columns v0, v1, ..., the row's values (texts and blobs handed over
// without copies); run_leaves (RowLeaves) the one column nodeno, the row's leaf of the R-tree;
// run_nodes (Leaves) the columns nodeno and data, the run's leaves. Rows are only ever appended,
// in order: each takes the next fid (or rowid) without one handed over.
struct RowsSource {
    enum class Kind : std::uint8_t { Rows, RowLeaves, Leaves };
    const RowBatch* batch = nullptr;
    std::size_t perRow = 0;
    Kind kind = Kind::Rows;
};

namespace rows_table {
struct Table : sqlite3_vtab {
    RowsSource* source = nullptr;
};
// A cursor over the batch that is the source's when the statement starts.
struct Cursor : sqlite3_vtab_cursor {
    std::size_t row = 0;
    std::size_t rows = 0;
    std::size_t perRow = 0;
    const RowValue* values = nullptr;  // the row's
    const char* bytes = nullptr;
    const std::uint32_t* leafOf = nullptr;
    const char* nodes = nullptr;  // the run's leaves
    std::int64_t firstLeaf = 0;
};

int connect(sqlite3* db, void* source, int, const char* const*, sqlite3_vtab** table, char**) {
    auto* const rows = static_cast<RowsSource*>(source);
    std::string columns = rows->kind == RowsSource::Kind::RowLeaves ? "CREATE TABLE x(nodeno"
                          : rows->kind == RowsSource::Kind::Leaves  ? "CREATE TABLE x(nodeno, data"
                                                                    : "CREATE TABLE x(v0";
    for (std::size_t k = 1; rows->kind == RowsSource::Kind::Rows && k < rows->perRow; ++k)
        columns += ", v" + std::to_string(k);
    columns += ")";
    if (const int rc = sqlite3_declare_vtab(db, columns.c_str()); rc != SQLITE_OK) return rc;
    auto* const made = new (std::nothrow) Table{};
    if (!made) return SQLITE_NOMEM;
    made->source = rows;
    *table = made;
    return SQLITE_OK;
}
int bestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 1e6;
    return SQLITE_OK;
}
int disconnect(sqlite3_vtab* table) {
    delete static_cast<Table*>(table);
    return SQLITE_OK;
}
int openCursor(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
    auto* const made = new (std::nothrow) Cursor{};
    if (!made) return SQLITE_NOMEM;
    *cursor = made;
    return SQLITE_OK;
}
int closeCursor(sqlite3_vtab_cursor* cursor) {
    delete static_cast<Cursor*>(cursor);
    return SQLITE_OK;
}
int filter(sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**) {
    auto* const cursor = static_cast<Cursor*>(base);
    const RowsSource& source = *static_cast<Table*>(base->pVtab)->source;
    cursor->row = 0;
    cursor->rows = 0;
    if (const RowBatch* batch = source.batch) {
        cursor->rows = source.kind == RowsSource::Kind::Leaves
                           ? batch->leaves.size() / rtree::kNodeSize
                           : batch->rows;
        cursor->perRow = source.perRow;
        cursor->nodes = batch->leaves.data();
        cursor->firstLeaf = batch->firstLeaf;
        cursor->values = batch->values.data();
        cursor->bytes = batch->bytes.data();
        cursor->leafOf = batch->leafOf.data();
    }
    return SQLITE_OK;
}
int next(sqlite3_vtab_cursor* base) {
    auto* const cursor = static_cast<Cursor*>(base);
    ++cursor->row;
    cursor->values += cursor->perRow;
    return SQLITE_OK;
}
int eof(sqlite3_vtab_cursor* base) {
    const auto* const cursor = static_cast<Cursor*>(base);
    return cursor->row >= cursor->rows;
}
int leafColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int) {
    const auto* const cursor = static_cast<Cursor*>(base);
    sqlite3_result_int64(context, cursor->leafOf[cursor->row]);
    return SQLITE_OK;
}
int nodeColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
    const auto* const cursor = static_cast<Cursor*>(base);
    if (column == 0)
        sqlite3_result_int64(context, cursor->firstLeaf + static_cast<std::int64_t>(cursor->row));
    else
        sqlite3_result_blob(context, cursor->nodes + cursor->row * rtree::kNodeSize,
                            static_cast<int>(rtree::kNodeSize), SQLITE_STATIC);
    return SQLITE_OK;
}
int column(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
    const auto* const cursor = static_cast<Cursor*>(base);
    const RowValue& value = cursor->values[column];
    switch (value.kind) {
        case RowValue::Kind::Null:
            break;
        case RowValue::Kind::Int:
            sqlite3_result_int64(context, value.number);
            break;
        case RowValue::Kind::Double:
            sqlite3_result_double(context, std::bit_cast<double>(value.number));
            break;
        case RowValue::Kind::Text:
            sqlite3_result_text(context, cursor->bytes + value.number, static_cast<int>(value.size),
                                SQLITE_STATIC);
            break;
        case RowValue::Kind::Blob:
            sqlite3_result_blob(context, cursor->bytes + value.number, static_cast<int>(value.size),
                                SQLITE_STATIC);
            break;
    }
    return SQLITE_OK;
}
int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* id) {
    *id = static_cast<sqlite3_int64>(static_cast<Cursor*>(cursor)->row);
    return SQLITE_OK;
}

// Eponymous only (no xCreate): no CREATE VIRTUAL TABLE makes it, nothing of it is stored.
sqlite3_module makeModule(int (*xColumn)(sqlite3_vtab_cursor*, sqlite3_context*, int)) {
    sqlite3_module module{};
    module.xConnect = connect;
    module.xBestIndex = bestIndex;
    module.xDisconnect = disconnect;
    module.xOpen = openCursor;
    module.xClose = closeCursor;
    module.xFilter = filter;
    module.xNext = next;
    module.xEof = eof;
    module.xColumn = xColumn;
    module.xRowid = rowid;
    return module;
}
const sqlite3_module kRowsModule = makeModule(column);
const sqlite3_module kRowLeavesModule = makeModule(leafColumn);
const sqlite3_module kLeavesModule = makeModule(nodeColumn);

}  // namespace rows_table

// The message of a failure of SQLite on `db`: the system's reason where the system refused (a
// full disk, a folder that cannot be written), else SQLite's.
std::string failureReason(sqlite3* db) {
    if (!db) return "cannot write the database";
    const int system = sqlite3_system_errno(db);
    return system != 0 ? std::strerror(system) : sqlite3_errmsg(db);
}

// A failure of SQLite, with its reason, on the thread that met it.
struct SqliteFailure {
    std::string reason;
};

void exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw SqliteFailure{failureReason(db)};
}

// The table `table` of `source` for the connection `db`. `source` outlasts the connection.
void addRowsTable(sqlite3* db, RowsSource& source, const char* table) {
    const sqlite3_module* const module =
        source.kind == RowsSource::Kind::Leaves      ? &rows_table::kLeavesModule
        : source.kind == RowsSource::Kind::RowLeaves ? &rows_table::kRowLeavesModule
                                                     : &rows_table::kRowsModule;
    if (sqlite3_create_module_v2(db, table, module, &source, nullptr) != SQLITE_OK)
        throw SqliteFailure{failureReason(db)};
}

// The rows go into the database on a thread of their own (the writer), in runs of kRunRows: the
// caller's thread reads and describes each record into a run's values and packs the run's
// leaves of the R-tree, and hands the run over; the writer inserts it, one statement each for
// the run's rows, its leaves and its rows' leaves. SQLite's work per row makes the writer's half
// the longer.
// Either thread's failure fails the export; the writer is stopped before anything goes.
class GeoPackageSink final : public ExportSink {
  public:
    explicit GeoPackageSink(const VendorList* vendors) : vendors_(vendors) {}
    ~GeoPackageSink() override { discard(); }

    void placeBeside(const fs::path& target) override { target_ = target; }

    void begin(ExportOutput&) override {
        const fs::path folder = target_.empty() ? temporaryFolder() : target_.parent_path();
        std::random_device random;
        const std::string name = target_.empty() ? "export" : target_.filename().string();
        scratch_ = (folder.empty() ? fs::path(".") : folder) /
                   ("." + name.substr(0, 200) + ".db-" + std::to_string(random()));
        cleanup_.emplace(scratch_);
        // Made here, empty, so the export gets the permissions every other export gets (SQLite
        // would make it 0644 whatever the umask allows); SQLite takes an empty file as a new
        // database.
        TextFileWriter(scratch_).close();
        // The file's pages are started on their way to disk as the writer writes them, so that
        // the sync at the end finds little left to write (SQLite lets a page go once it is
        // full).
        scratchFd_ = ::open(scratch_.c_str(), O_RDONLY | O_CLOEXEC);
        // No count of SQLite's memory, which takes a lock on every allocation. Set before its
        // first use, if nothing came first; otherwise it stays as it is.
        static const int unmetered = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        (void)unmetered;
        guard([&] {
            db_ = open(scratch_.c_str());
            // A scratch file: a failure discards it whole, so it needs neither journal nor
            // syncs. Larger pages take a quarter of the writes of 4096-byte ones (the R-tree's
            // nodes keep their own size); 65536-byte ones measured no faster. Rows are only ever
            // appended, so a small cache holds every page that still changes; the pages it lets
            // go are written by the thread that inserts the rows, as it goes.
            exec(db_, "PRAGMA locking_mode = EXCLUSIVE; PRAGMA cache_size = -2048; BEGIN;");
            sqlite3_stmt* metadata = nullptr;
            const char* rest = kMetadata;
            while (*rest) {
                if (sqlite3_prepare_v2(db_, rest, -1, &metadata, &rest) != SQLITE_OK)
                    throw SqliteFailure{failureReason(db_)};
                if (!metadata) break;
                sqlite3_bind_text(metadata, 1, kWgs84, -1, SQLITE_STATIC);
                const int done = sqlite3_step(metadata);
                sqlite3_finalize(metadata);
                if (done != SQLITE_DONE && done != SQLITE_ROW)
                    throw SqliteFailure{failureReason(db_)};
            }
            // The columns: those of every map format, each of its declared type.
            create_ = "CREATE TABLE points (fid INTEGER PRIMARY KEY, geom POINT";
            columns_ = {"geom"};
            const auto column = [&](std::string_view name, const char* type) {
                create_.append(", ").append(name).append(" ").append(type);
                columns_.emplace_back(name);
            };
            for (const char* name : {"name", "bssid", "type", "flags"}) column(name, "TEXT");
            column("wep", "BOOLEAN");
            column("channels", "TEXT");
            const MapPointView none;
            forEachMapValue(none, [&](std::string_view label, std::string_view, const auto& value) {
                column(label,
                       columnType<typename std::remove_cvref_t<decltype(value)>::value_type>());
            });
            column("time", "DATETIME");
            column("vendor", "TEXT");
            column("sightings", "INTEGER");
            column("first_seen", "DATETIME");
            column("last_seen", "DATETIME");
            column("radius_m", "DOUBLE");
            create_ += ")";
            exec(db_, create_);
            rows_.perRow = columns_.size();
            addRowsTable(db_, rows_, "run_rows");
            addRowsTable(db_, leavesSource_, "run_nodes");
            leaf_ = prepare(db_,
                            "INSERT INTO rtree_points_geom_node (nodeno, data) SELECT nodeno, data "
                            "FROM run_nodes");
            addRowsTable(db_, rowLeavesSource_, "run_leaves");
            addRowsTable(db_, parentsSource_, "run_parents");
            rowLeaves_ = prepare(db_,
                                 "INSERT INTO rtree_points_geom_rowid (nodeno) SELECT nodeno FROM "
                                 "run_leaves");
        });
        run_ = std::make_unique<RowBatch>();
        run_->clear(1, kRunRows * columns_.size());
        // The writer starts with the first run.
    }

    void write(ExportOutput&, const ExportRecord& record) override {
        describeRecordInto(point_, store_, record, vendors_);
        const double x = degrees(point_.longitude);
        const double y = degrees(point_.latitude);
        minX_ = std::min(minX_, x);
        maxX_ = std::max(maxX_, x);
        minY_ = std::min(minY_, y);
        maxY_ = std::max(maxY_, y);
        ++count_;
        runCells_.push_back({static_cast<std::int64_t>(count_), rtree::pointBox(x, y)});
        RowBatch& row = *run_;
        putGeometry(reinterpret_cast<unsigned char*>(row.room(kGeometrySize)), x, y);
        row.end(RowValue::Kind::Blob, row.bytes.data() + row.length);
        // Texts go through the map formats' one rule (U+FFFD for a control character or a byte
        // that is no UTF-8).
        const auto text = [&](std::string_view value) {
            static const map_text::AsciiEscapes escapes = map_text::makeEscapes({});
            char* const room = row.room(value.size() * map_text::kEscapedGrowth);
            row.end(RowValue::Kind::Text, map_text::putMapText(room, value, escapes));
        };
        text(point_.name);
        text(point_.bssid);
        text(point_.type);
        text(point_.flags);
        if (point_.wep)
            row.integer(*point_.wep ? 1 : 0);
        else
            row.null();
        if (point_.channels.empty() || point_.channels.size() * 4 > kChannelsRoom) {
            row.null();
        } else {
            char* const room = row.room(point_.channels.size() * 4);
            row.end(RowValue::Kind::Text, map_text::putChannels(room, point_.channels, ";"));
        }
        forEachMapValue(point_, [&](std::string_view, std::string_view, const auto& value) {
            using Value = typename std::remove_cvref_t<decltype(value)>::value_type;
            if (!value)
                row.null();
            else if constexpr (std::is_same_v<Value, int>)
                row.integer(*value);
            else if constexpr (std::is_same_v<Value, double>)
                row.real(*value);
            else
                text(*value);
        });
        // The standard's form of a time has milliseconds: "YYYY-MM-DDTHH:MM:SS.000Z". A bare
        // time of day (a log without a date) is no DATETIME: null.
        const auto time = [&](std::string_view value) {
            if (!map_text::isFullTime(value)) return row.null();
            char* const full = row.room(kTimeSize);
            std::memcpy(full, value.data(), 19);
            std::memcpy(full + 19, ".000Z", 5);
            row.end(RowValue::Kind::Text, full + kTimeSize);
        };
        time(point_.time);
        if (point_.vendor)
            text(*point_.vendor);
        else
            row.null();
        if (const AccessPointSummary* ap = point_.accessPoint) {
            row.integer(static_cast<std::int64_t>(ap->sightings));
            time(ap->firstSeen);
            time(ap->lastSeen);
            if (ap->radiusM)
                row.real(*ap->radiusM);
            else
                row.null();
        } else {
            for (int k = 0; k < 4; ++k) row.null();
        }
        row.endRow();
        if (row.rows == kRunRows) handOver();
    }

    void end(ExportOutput& out) override {
        if (run_->rows > 0) handOver();
        finishWriter();
        closeScratchFd();
        guard([&] {
            finalizeStatements();
            buildIndex();
            exec(db_, kTriggers);
            sqlite3_stmt* contents = prepare(
                db_,
                "INSERT INTO gpkg_contents (table_name, data_type, identifier, min_x, min_y, "
                "max_x, max_y, srs_id) VALUES ('points', 'features', 'points', ?, ?, ?, ?, "
                "4326)");
            if (count_ > 0) {
                sqlite3_bind_double(contents, 1, minX_);
                sqlite3_bind_double(contents, 2, minY_);
                sqlite3_bind_double(contents, 3, maxX_);
                sqlite3_bind_double(contents, 4, maxY_);
            }
            const int done = sqlite3_step(contents);
            sqlite3_finalize(contents);
            if (done != SQLITE_DONE) throw SqliteFailure{failureReason(db_)};
            exec(db_, "COMMIT");
            if (sqlite3_close(db_) != SQLITE_OK) throw SqliteFailure{failureReason(db_)};
            db_ = nullptr;
        });
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
    // Rows per run: 2048 rows' values take about 1 MiB, so that the runs on their way between
    // the threads stay in the processors' caches (with 8192 the caller's thread took 8 % longer).
    static constexpr std::size_t kRunRows = 2048;
    // Runs waiting for the writer, at most: then the caller's thread waits.
    static constexpr std::size_t kWaiting = 3;
    // Runs between two starts of writing the file's new pages to disk: about 8 MiB of them.
    static constexpr int kRunsPerSync = 24;

    // A connection of this sink's: no journal and no syncs (a failure discards the database).
    static sqlite3* open(const char* file) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(file, &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            SqliteFailure failure{failureReason(db)};
            sqlite3_close(db);
            throw failure;
        }
        try {
            exec(db,
                 "PRAGMA page_size = 16384; PRAGMA journal_mode = OFF;"
                 "PRAGMA synchronous = OFF; PRAGMA temp_store = MEMORY;");
        } catch (...) {
            sqlite3_close(db);
            throw;
        }
        return db;
    }
    static sqlite3_stmt* prepare(sqlite3* db, const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            throw SqliteFailure{failureReason(db)};
        return statement;
    }
    static void step(sqlite3* db, sqlite3_stmt* statement) {
        if (sqlite3_step(statement) != SQLITE_DONE) throw SqliteFailure{failureReason(db)};
        sqlite3_reset(statement);
    }

    // Runs `work` on the caller's thread; a failure of SQLite fails the export.
    template <typename Work>
    void guard(Work&& work) {
        try {
            work();
        } catch (const SqliteFailure& failure) {
            fail(failure.reason);
        }
    }

    // The full run to the writer, and a batch for the next.
    void handOver() {
        indexRun(*run_);
        if (++runsUnsynced_ == kRunsPerSync && scratchFd_ >= 0) {
            // Only started, not waited for: the sync at the end reports any failure. Here, not on
            // the writer's thread, which has the longer half of the work.
            ::sync_file_range(scratchFd_, 0, 0, SYNC_FILE_RANGE_WRITE);
            runsUnsynced_ = 0;
        }
        const std::int64_t next = run_->firstRow + static_cast<std::int64_t>(run_->rows);
        if (!writer_.joinable()) writer_ = workerThread([this] { writeRows(); });
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [&] { return waiting_.size() < kWaiting || failure_; });
            if (failure_) {
                const std::string reason = *failure_;
                lock.unlock();
                fail(reason);
            }
            waiting_.push_back(std::move(run_));
            if (!spare_.empty()) {
                run_ = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        ready_.notify_one();
        if (!run_) run_ = std::make_unique<RowBatch>();
        run_->clear(next, kRunRows * columns_.size());
    }

    // The writer's thread: the runs into the database, in order, until the last; the first
    // failure is kept for the caller's thread, which then stops.
    void writeRows() {
        try {
            for (;;) {
                std::unique_ptr<RowBatch> run;
                {
                    std::unique_lock lock(mutex_);
                    ready_.wait(lock, [&] { return stop_ || !waiting_.empty(); });
                    if (waiting_.empty()) break;  // stopped, or the last run is in
                    run = std::move(waiting_.front());
                    waiting_.pop_front();
                }
                room_.notify_one();
                rows_.batch = rowLeavesSource_.batch = leavesSource_.batch = run.get();
                step(db_, insertFor(run->present));
                writeLeaves();
                rows_.batch = rowLeavesSource_.batch = leavesSource_.batch = nullptr;
                std::lock_guard lock(mutex_);
                spare_.push_back(std::move(run));
            }
        } catch (const SqliteFailure& failure) {
            {
                std::lock_guard lock(mutex_);
                failure_ = failure.reason;
            }
            room_.notify_all();
        }
    }

    // Waits for the writer to write every run handed over; its failure fails the export.
    void finishWriter() {
        if (!writer_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        ready_.notify_one();
        writer_.join();
        if (failure_) fail(*failure_);
    }

    // Ends the writer at once, leaving what it has not written.
    void stopWriter() {
        if (!writer_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            waiting_.clear();
        }
        ready_.notify_one();
        writer_.join();
    }

    // The writer's statement that inserts a run's rows, with the columns `present` of a run (a
    // column null all through the run is left for SQLite to fill, which saves a call for its
    // value on every row).
    sqlite3_stmt* insertFor(std::uint64_t present) {
        for (const auto& [columns, statement] : inserts_)
            if (columns == present) return statement;
        std::string names, values;
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            if (k < 64 && !(present >> k & 1)) continue;
            names.append(names.empty() ? "" : ", ").append(columns_[k]);
            values.append(values.empty() ? "v" : ", v").append(std::to_string(k));
        }
        if (names.empty()) {
            names = columns_[0];
            values = "v0";
        }
        sqlite3_stmt* const statement =
            prepare(db_, "INSERT INTO points (" + names + ") SELECT " + values + " FROM run_rows");
        inserts_.emplace_back(present, statement);
        return statement;
    }

    // The leaves of the run's points, packed: their nodes and each row's leaf, for the run.
    void indexRun(RowBatch& run) {
        using namespace rtree;
        tile(runCells_, tileScratch_);
        const std::size_t count = (runCells_.size() + kMaxCells - 1) / kMaxCells;
        run.firstLeaf = nextNode_;
        run.leaves.resize(count * kNodeSize);
        run.leafOf.resize(runCells_.size());
        for (std::size_t at = 0, leaf = 0; at < runCells_.size(); at += kMaxCells, ++leaf) {
            const std::size_t cells = std::min(kMaxCells, runCells_.size() - at);
            const std::int64_t nodeno = nextNode_++;
            auto* const data =
                reinterpret_cast<unsigned char*>(run.leaves.data()) + leaf * kNodeSize;
            leaves_.push_back({nodeno, putNode(data, &runCells_[at], cells, 0)});
            for (std::size_t k = at; k < at + cells; ++k)
                run.leafOf[static_cast<std::size_t>(runCells_[k].id - run.firstRow)] =
                    static_cast<std::uint32_t>(nodeno);
        }
        runCells_.clear();
    }

    // The writer's: the run's leaves, and each of its rows' leaf, into the database.
    void writeLeaves() {
        step(db_, leaf_);
        step(db_, rowLeaves_);
    }

    // The levels of the spatial index above its leaves, up to the root.
    void buildIndex() {
        using namespace rtree;
        if (leaves_.empty()) return;  // the module's empty root stands
        if (leaves_.size() == 1) {
            // The one leaf is the root.
            exec(db_,
                 "DELETE FROM rtree_points_geom_node WHERE nodeno = 1;"
                 "UPDATE rtree_points_geom_node SET nodeno = 1 WHERE nodeno = 2;"
                 "UPDATE rtree_points_geom_rowid SET nodeno = 1");
            return;
        }
        Statement node(db_,
                       "INSERT OR REPLACE INTO rtree_points_geom_node (nodeno, data) "
                       "VALUES (?, ?)");
        // The parent of each node but the root, by node number.
        std::vector<std::int64_t> parentOf;
        std::vector<Cell> level = std::move(leaves_);
        leaves_ = {};
        for (unsigned depth = 1;; ++depth) {
            const bool root = level.size() <= kMaxCells;
            if (!root) tile(level, tileScratch_);
            std::vector<Cell> above;
            for (std::size_t at = 0; at < level.size(); at += kMaxCells) {
                const std::size_t count = std::min(kMaxCells, level.size() - at);
                const std::int64_t nodeno = root ? 1 : nextNode_++;
                unsigned char data[kNodeSize];
                const Box box = putNode(data, &level[at], count, root ? depth : 0);
                for (std::size_t k = at; k < at + count; ++k) {
                    const auto child = static_cast<std::size_t>(level[k].id);
                    if (parentOf.size() <= child) parentOf.resize(child + 1);
                    parentOf[child] = nodeno;
                }
                sqlite3_bind_int64(node.statement, 1, nodeno);
                sqlite3_bind_blob(node.statement, 2, data, kNodeSize, SQLITE_STATIC);
                node.step();
                above.push_back({nodeno, box});
            }
            if (root) break;
            level = std::move(above);
        }
        // In one statement, in order of node numbers (every node from 2 on has a parent).
        RowBatch parents;
        parents.clear(1, 2 * parentOf.size());
        for (std::size_t nodeno = 2; nodeno < parentOf.size(); ++nodeno) {
            parents.integer(static_cast<std::int64_t>(nodeno));
            parents.integer(parentOf[nodeno]);
            parents.endRow();
        }
        parentsSource_.batch = &parents;
        Statement parent(db_,
                         "INSERT INTO rtree_points_geom_parent (nodeno, parentnode) SELECT v0, v1 "
                         "FROM run_parents");
        parent.step();
        parentsSource_.batch = nullptr;
    }

    void finalizeStatements() {
        for (sqlite3_stmt** statement : {&leaf_, &rowLeaves_}) {
            sqlite3_finalize(*statement);
            *statement = nullptr;
        }
        for (const auto& insert : inserts_) sqlite3_finalize(insert.second);
        inserts_.clear();
    }

    // A prepared statement, finalized when it goes.
    struct Statement {
        Statement(sqlite3* db, const char* sql) : db(db), statement(prepare(db, sql)) {}
        ~Statement() { sqlite3_finalize(statement); }
        void step() { GeoPackageSink::step(db, statement); }
        sqlite3* db;
        sqlite3_stmt* statement;
    };

    // The export fails for `reason`: nothing of it is left.
    [[noreturn]] void fail(const std::string& reason) {
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

    void closeScratchFd() {
        if (scratchFd_ >= 0) ::close(scratchFd_);
        scratchFd_ = -1;
    }

    void discard() {
        stopWriter();
        closeScratchFd();
        finalizeStatements();
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
    int scratchFd_ = -1;  // the scratch file, read-only: for sync_file_range
    int runsUnsynced_ = 0;
    // The database, the writer's alone while it runs.
    sqlite3* db_ = nullptr;
    std::vector<std::pair<std::uint64_t, sqlite3_stmt*>> inserts_;  // by the columns they take
    sqlite3_stmt* leaf_ = nullptr;       // a run's leaves, from run_nodes
    sqlite3_stmt* rowLeaves_ = nullptr;  // each row's leaf, from run_leaves
    std::string create_;                 // the points table
    RowsSource rows_;                    // the run the writer inserts through inserts_
    RowsSource rowLeavesSource_{nullptr, 0, RowsSource::Kind::RowLeaves};  // and rowLeaves_
    RowsSource leavesSource_{nullptr, 0, RowsSource::Kind::Leaves};        // and leaf_
    RowsSource parentsSource_{nullptr, 2, RowsSource::Kind::Rows};  // the index's parent rows
    std::vector<std::string> columns_;  // the columns of a row's values (all but the fid)
    std::uint64_t count_ = 0;
    double minX_ = std::numeric_limits<double>::infinity();
    double maxX_ = -std::numeric_limits<double>::infinity();
    double minY_ = std::numeric_limits<double>::infinity();
    double maxY_ = -std::numeric_limits<double>::infinity();
    std::vector<rtree::Cell> runCells_;  // the place of each point of the run in the index
    std::vector<rtree::Cell> leaves_;    // the index's leaves so far, each a node's box
    rtree::TileScratch tileScratch_;
    std::int64_t nextNode_ = 2;  // the next node's number: node 1 is the root
    MapPointView point_;
    MapPointStore store_;
    std::unique_ptr<RowBatch> run_;  // the run being described

    // Between the caller's thread and the writer's.
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable ready_;  // a run waits, or the writer is to stop
    std::condition_variable room_;   // a run was taken, or the writer failed
    std::deque<std::unique_ptr<RowBatch>> waiting_;
    std::vector<std::unique_ptr<RowBatch>> spare_;  // written runs' batches, for reuse
    std::optional<std::string> failure_;            // the writer's
    bool stop_ = false;                             // no run comes after those waiting
};

}  // namespace

std::unique_ptr<ExportSink> makeGeoPackageSink(const VendorList* vendors) {
    return std::make_unique<GeoPackageSink>(vendors);
}

}  // namespace velmora
