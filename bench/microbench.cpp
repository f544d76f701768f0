// SPDX-License-Identifier: GPL-3.0-or-later
// The inner loops of the load, the readers and the export line on their own, over a log made
// here (no Python needed): run velmora-microbench to see where a load's time goes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "export/st_sink.h"
#include "io/line_reader.h"
#include "loader/record_line.h"
#include "loader/source_loader.h"
#include "loader/wigle_csv_reader.h"
#include "map/sighting_map.h"
#include "records/record_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace velmora;

constexpr int kLines = 100000;

// A scratch folder holding a 10^5-line text export and the working files of its load.
struct Scratch {
    fs::path folder = fs::temp_directory_path() / "velmora-microbench";
    fs::path log = folder / "log.txt";
    WorkingFiles files{folder};

    Scratch() {
        fs::create_directories(folder);
        std::FILE* out = std::fopen(log.c_str(), "wb");
        if (!out) std::abort();
        std::fputs("# $Creator: x\r\n# $Format: wi-scan with extensions\r\n", out);
        for (int i = 0; i < kLines; ++i)
            std::fprintf(out,
                         "N %d.%07d\tW 10.5734555\t( my net %d )\tBSS\t( 00:a0:c5:1e:%02x:%02x )\t"
                         "00:00:%02d (GMT)\t[ 6 55 49 ]\t# (  )\t00%d1\t00000040\t100\r\n",
                         10 + i % 50, i, i % 40, i % 256, (i / 256) % 256, i % 60, i % 6);
        std::fclose(out);
        if (loadSourceLog(log, files).status != LoadStatus::Loaded) std::abort();
    }
    ~Scratch() {
        std::error_code ec;
        fs::permissions(files.output1(), fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove_all(folder, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

void setBytes(benchmark::State& state, const fs::path& file) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(file)));
}

void BM_LoadSourceLog(benchmark::State& state) {
    const Scratch& s = scratch();
    for (auto _ : state) benchmark::DoNotOptimize(loadSourceLog(s.log, s.files).counts.total);
    setBytes(state, s.log);
}
BENCHMARK(BM_LoadSourceLog)->Unit(benchmark::kMillisecond);

void BM_LineReader(benchmark::State& state) {
    const Scratch& s = scratch();
    for (auto _ : state) {
        LineReader reader(s.log);
        std::string line;
        std::size_t n = 0;
        while (reader.next(line)) n += line.size();
        benchmark::DoNotOptimize(n);
    }
    setBytes(state, s.log);
}
BENCHMARK(BM_LineReader)->Unit(benchmark::kMillisecond);

void BM_RecordReader(benchmark::State& state) {
    const Scratch& s = scratch();
    for (auto _ : state) {
        RecordReader reader(s.files.output1());
        WorkingRecord record;
        std::size_t n = 0;
        while (reader.next(record)) n += record[WorkingRecord::Flags].size();
        benchmark::DoNotOptimize(n);
    }
    setBytes(state, s.files.output1());
}
BENCHMARK(BM_RecordReader)->Unit(benchmark::kMillisecond);

// The WiGLE CSV reader over as many lines of the phone app's WigleWifi-1.6 as the text export
// has, beside BM_LoadSourceLog (a reader only parses: the load adds the working files).
void BM_WigleCsvReader(benchmark::State& state) {
    const fs::path log = scratch().folder / "log.csv";
    if (!fs::exists(log)) {
        std::FILE* out = std::fopen(log.c_str(), "wb");
        if (!out) std::abort();
        std::fputs(
            "WigleWifi-1.6,appRelease=2.70,model=x,release=14,device=x,display=x,"
            "board=x,brand=x,star=Sol,body=3,subBody=0\n"
            "MAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,CurrentLatitude,"
            "CurrentLongitude,AltitudeMeters,AccuracyMeters,RCOIs,MfgrId,Type\n",
            out);
        for (int i = 0; i < kLines; ++i)
            std::fprintf(out,
                         "00:a0:c5:1e:%02x:%02x,my net %d,[WPA2-PSK-CCMP][RSN-PSK-CCMP][ESS],"
                         "2024-05-06 11:%02d:%02d,6,2437,-%d,%d.%07d,-10.5734555,41.5,12.0,,,"
                         "WIFI\n",
                         i % 256, (i / 256) % 256, i % 40, i / 60 % 60, i % 60, 40 + i % 50,
                         10 + i % 50, i);
        std::fclose(out);
    }
    for (auto _ : state) {
        const auto reader = openWigleCsv(log);
        LogEntry entry;
        std::size_t n = 0;
        while (reader->next(entry)) n += entry.kind == LogEntry::Kind::Sighting;
        benchmark::DoNotOptimize(n);
    }
    setBytes(state, log);
}
BENCHMARK(BM_WigleCsvReader)->Unit(benchmark::kMillisecond);

// The views the exports and the Advanced lists read records as.
void BM_RecordFields(benchmark::State& state) {
    const Scratch& s = scratch();
    for (auto _ : state) {
        RecordReader reader(s.files.output1());
        RecordFields fields;
        WorkingRecord scratch;
        std::size_t n = 0;
        while (reader.nextFields(fields, scratch)) n += fields[WorkingRecord::Flags].size();
        benchmark::DoNotOptimize(n);
    }
    setBytes(state, s.files.output1());
}
BENCHMARK(BM_RecordFields)->Unit(benchmark::kMillisecond);

// The loader's record line builders alone, over the lines of the log held in memory: 0 the
// byte-at-a-time one, 1 the vector one (skipped where the CPU has none).
void BM_RecordLine(benchmark::State& state) {
    const auto write = state.range(0) ? record_line::vectorWriter()
                                      : record_line::Writer{&record_line::writePortable};
    if (!write) return state.SkipWithError("no vector builder on this CPU");
    std::vector<std::string> lines;
    LineReader reader(scratch().log);
    for (std::string line; reader.next(line);)
        if (!isCommentLine(line)) lines.push_back(line);
    std::vector<char> out(1 << 12);
    std::size_t bytes = 0;
    for (auto _ : state) {
        LoadCounts counts;
        std::string_view signal;
        for (const std::string& line : lines)
            benchmark::DoNotOptimize(write(line, out.data(), counts, signal));
        benchmark::DoNotOptimize(counts.total);
    }
    for (const std::string& line : lines) bytes += line.size();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_RecordLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ExportLine(benchmark::State& state) {
    const RecordFields fields = {
        "N41.1234567", "W81.7654321", "myhomenet", "BSS",  "00:06:25:0a:1b:2c",
        "01:02:03GMT", "[257449]",    "#",         "0011", "00000040",
        "100"};
    std::string out(exportLineSize(fields), '\0');
    for (auto _ : state) benchmark::DoNotOptimize(writeExportLine(out.data(), fields));
}
BENCHMARK(BM_ExportLine);

// The map window: building its map of the log's sightings, and the dots of a 1000 x 700 view
// at zoom 3, 8 and 14 (every sighting, a region, a few streets) on the log's meridian.
void BM_SightingMapBuild(benchmark::State& state) {
    const Scratch& s = scratch();
    for (auto _ : state)
        benchmark::DoNotOptimize(map::SightingMap::build(s.files.output1(), false).size());
    setBytes(state, s.files.output1());
}
BENCHMARK(BM_SightingMapBuild)->Unit(benchmark::kMillisecond);

void BM_SightingMapDots(benchmark::State& state) {
    static const map::SightingMap sightings =
        map::SightingMap::build(scratch().files.output1(), false);
    const int zoom = static_cast<int>(state.range(0));
    const double scale = map::scaleToZoom(zoom);
    const map::WorldPoint centre = map::project(35, -10.5734555);
    const map::View view{centre.x * scale - 500, centre.y * scale - 350, 1000, 700, zoom};
    std::size_t dots = 0;
    for (auto _ : state) {
        dots = sightings.dots(view, map::kAllStatuses).size();
        benchmark::DoNotOptimize(dots);
    }
    state.counters["dots"] = static_cast<double>(dots);
}
BENCHMARK(BM_SightingMapDots)->Arg(3)->Arg(8)->Arg(14)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
