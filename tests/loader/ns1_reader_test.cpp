// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/ns1_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// 2004-06-05T12:34:56Z as a FILETIME.
constexpr std::uint64_t kTime = (1086438896ULL + 11644473600ULL) * 10'000'000ULL;

struct Entry {
    std::uint64_t time = kTime;
    std::int32_t signal = -60, noise = -100;
    std::int32_t source = 1;  // 1: GPS, with the values below
    double lat = 41.5, lon = 2.25, alt = 120.5;
};

struct Ap {
    std::string ssid = "home";
    std::array<std::uint8_t, 6> bssid{0x00, 0x0C, 0x41, 0xAA, 0xBB, 0x01};
    std::uint32_t flags = 0x0011, beacon = 100;
    std::uint64_t channels = 1 << 6;
    std::vector<Entry> entries = {};
    std::string elements = "\x00\x04home"s;
};

// The layout of each version, written field by field.
class Writer {
  public:
    template <typename T>
    Writer& put(T value) {
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        out.append(bytes, sizeof value);
        return *this;
    }
    Writer& text(std::string_view s) {
        put(static_cast<std::uint8_t>(s.size()));
        out += s;
        return *this;
    }
    std::string out;
};

std::string ns1(std::uint32_t version, const std::vector<Ap>& aps,
                std::optional<std::uint32_t> count = std::nullopt) {
    Writer w;
    w.out = "NetS";
    w.put(version).put(count.value_or(static_cast<std::uint32_t>(aps.size())));
    for (const Ap& ap : aps) {
        w.text(ap.ssid);
        w.out.append(reinterpret_cast<const char*>(ap.bssid.data()), 6);
        w.put(std::int32_t{-50}).put(std::int32_t{-100}).put(std::int32_t{50});
        if (version == 1) w.put(std::uint32_t{0xDEADBEEF});
        if (version == 6) w.put(static_cast<std::uint32_t>(ap.channels));
        w.put(ap.flags).put(ap.beacon);
        if (version == 1) continue;
        w.put(std::uint64_t{kTime}).put(std::uint64_t{kTime}).put(1.0).put(2.0);
        w.put(static_cast<std::uint32_t>(ap.entries.size()));
        for (const Entry& e : ap.entries) {
            w.put(e.time).put(e.signal).put(e.noise).put(e.source);
            if (e.source != 1) continue;
            w.put(e.lat).put(e.lon).put(e.alt).put(std::uint32_t{7});
            w.put(1.5).put(90.0).put(0.5).put(1.2);  // speed, track, variation, hdop
        }
        w.text("name");
        if (version >= 8) w.put(ap.channels).put(std::uint32_t{6}).put(std::uint32_t{0});
        if (version >= 11)
            for (int i = 0; i < 5; ++i) w.put(std::uint32_t{7});
        if (version >= 12) {
            w.put(std::uint32_t{0}).put(static_cast<std::uint32_t>(ap.elements.size()));
            w.out += ap.elements;
        }
    }
    return w.out;
}

struct Read {
    std::vector<LogEntry> entries;
    std::vector<std::string> ssids;  // the entries' texts, kept
    std::string damage;
    std::uint64_t lost = 0;
};

class Ns1 : public ::testing::Test {
  protected:
    // A file the reader refuses gives no entries and "refused: " and the reason as its damage.
    Read read(std::string_view bytes) {
        fs::remove(dir / "log.ns1");  // a file made anew, not cut to nothing and rewritten
        test::writeFile(dir / "log.ns1", bytes);
        Read r;
        decltype(openNs1(dir / "log.ns1")) reader;
        try {
            reader = openNs1(dir / "log.ns1");
        } catch (const Ns1FormatError& e) {
            r.damage = "refused: "s + e.what();
            return r;
        }
        for (LogEntry e; reader->next(e); r.entries.push_back(e))
            r.ssids.emplace_back(e.sighting.ssid);
        r.damage = reader->damage();
        r.lost = reader->lostEntries();
        return r;
    }
    test::TempDir dir;
};

TEST_F(Ns1, EveryVersionHandsOverItsEntriesWithTheirValues) {
    Ap a;
    a.entries = {Entry{}, Entry{.signal = -80, .noise = -95, .source = 0},
                 Entry{.signal = -40, .lat = -33.25, .lon = -70.5, .alt = -3}};
    // The longest name, a NUL kept, Windows-1252 bytes (the euro sign, an undefined one, y).
    Ap b{.ssid = "\0\x80\x81"s + std::string(252, '\xff'),
         .flags = 0x0002,
         .beacon = 7,
         .channels = 1ULL << 40 | 1 << 15};
    std::string bName = "\0\u20AC\u0081"s;
    for (int i = 0; i < 252; ++i) bName += "\u00FF";
    b.entries = {Entry{.source = 2}};
    const Ap silent{.ssid = "silent"};
    for (const std::uint32_t version : {6u, 8u, 11u, 12u}) {
        SCOPED_TRACE(version);
        // Version 6 holds the low 32 channel bits only.
        const std::uint64_t channelsB = version == 6 ? 1 << 15 : b.channels;
        const Read r = read(ns1(version, {silent, a, b, silent}));
        EXPECT_EQ(r.damage, "");
        ASSERT_EQ(r.entries.size(), 4u);
        using K = LogEntry::Kind;
        const K kinds[] = {K::Sighting, K::NoPosition, K::Sighting, K::NoPosition};
        for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(r.entries[i].kind, kinds[i]) << i;
        const LogSighting& s = r.entries[0].sighting;
        EXPECT_EQ(r.ssids[0], "home");
        EXPECT_EQ(s.bssid, a.bssid);
        EXPECT_EQ(std::tuple(s.capabilities, s.channelBits, s.beaconInterval),
                  std::tuple(0x0011u, a.channels, 100u));
        EXPECT_EQ(std::tuple(s.latitude, s.longitude, s.altitude), std::tuple(41.5, 2.25, 120.5));
        EXPECT_EQ(std::tuple(s.rssi, s.signal, s.noise, s.snr), std::tuple(-60, 89, 49, 40));
        const SightingTime t = s.time;
        EXPECT_TRUE(t.hasDate && t.hasTime);
        EXPECT_EQ(std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second),
                  std::tuple(2004, 6, 5, 12, 34, 56));
        EXPECT_FALSE(r.entries[1].sighting.altitude);  // no position
        EXPECT_EQ(r.ssids[3], bName);
        const LogSighting& last = r.entries[3].sighting;
        EXPECT_EQ(std::tuple(last.capabilities, last.channelBits, last.beaconInterval),
                  std::tuple(0x0002u, channelsB, 7u));
    }
    // Version 1 records carry no entries: read through, nothing handed over.
    const Read v1 = read(ns1(1, {a, b, silent}));
    EXPECT_TRUE(v1.entries.empty());
    EXPECT_EQ(v1.damage, "");
}

// Little-endian fields spelled out by value, apart from the Writer above.
std::string le(std::uint64_t value, int size) {
    std::string out;
    for (int i = 0; i < size; ++i) out += static_cast<char>(value >> 8 * i);
    return out;
}
const auto u32 = [](std::int64_t value) { return le(static_cast<std::uint64_t>(value), 4); };
const auto u64 = [](std::uint64_t value) { return le(value, 8); };

// Bytes assembled by hand from the layout, so the writer above cannot share a mistake with
// the reader (version 12 has its own check: the sample, written by the log generator).
// Version 6 keeps its channels as a 32-bit word before the flags, and ends at the name.
TEST_F(Ns1, AHandAssembledVersion6FileReadsFieldByField) {
    const std::string y2k = u64(0x01BF53EB256D4000);  // 2000-01-01T00:00:00Z
    const std::string v6 = "NetS" + u32(6) + u32(1) + le(0, 1) + "\x00\x0c\x41\x12\x34\x56"s +
                           u32(-50) + u32(-100) + u32(50) +        // MaxSignal, MinNoise, MaxSNR
                           u32(0x0804) + u32(1) + u32(10) +        // channels 2, 11; ESS; 10
                           y2k + y2k + u64(0) + u64(0) + u32(1) +  // one entry, no GPS
                           y2k + u32(-60) + u32(-100) + u32(0) + le(0, 1);
    const Read r = read(v6);
    EXPECT_EQ(r.damage, "");
    ASSERT_EQ(r.entries.size(), 1u);
    const LogSighting& s = r.entries[0].sighting;
    EXPECT_EQ(r.entries[0].kind, LogEntry::Kind::NoPosition);
    EXPECT_EQ(std::tuple(s.channelBits, s.capabilities, s.beaconInterval),
              std::tuple(0x0804u, capability::kEss, 10u));
    EXPECT_EQ(std::tuple(s.time.year, s.time.month, s.time.day, s.time.hour),
              std::tuple(2000, 1, 1, 0));
}

TEST_F(Ns1, PositionsAndTimesOutsideTheirRangesAreNotUsed) {
    struct Row {
        Entry entry;
        bool placed;
        bool timed;
    } rows[] = {
        {Entry{.lat = 0, .lon = 5}, false, true},
        {Entry{.lat = 1e-9, .lon = 0}, true, true},
        {Entry{.lat = 90, .lon = 180}, true, true},
        {Entry{.lat = 90.0000001, .lon = 1}, false, true},
        {Entry{.lat = 45, .lon = -180.0000001}, false, true},
        {Entry{.lat = kNaN, .lon = 1}, false, true},
        {Entry{.lat = 1, .lon = kNaN}, false, true},
        {Entry{.source = 0}, false, true},
        {Entry{.alt = kNaN}, true, true},
        // 1980-01-01T00:00:00Z and a second before; 2100-12-31T23:59:59Z and a second after.
        {Entry{.time = 119600064000000000ULL}, true, true},
        {Entry{.time = 119600063990000000ULL}, true, false},
        {Entry{.time = 157784543990000000ULL}, true, true},
        {Entry{.time = 157784544000000000ULL}, true, false},
        {Entry{.time = ~0ULL}, true, false},
    };
    Ap ap;
    for (const Row& row : rows) ap.entries.push_back(row.entry);
    const Read r = read(ns1(12, {ap}));
    ASSERT_EQ(r.entries.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const LogEntry& e = r.entries[i];
        EXPECT_EQ(e.kind == LogEntry::Kind::Sighting, rows[i].placed) << i;
        EXPECT_EQ(e.sighting.time.hasDate, rows[i].timed) << i;
        EXPECT_EQ(e.sighting.time.hasTime, rows[i].timed) << i;
        if (e.kind == LogEntry::Kind::Sighting) {
            EXPECT_TRUE(std::isfinite(e.sighting.latitude) && std::isfinite(e.sighting.longitude));
            EXPECT_EQ(e.sighting.altitude.has_value(), std::isfinite(rows[i].entry.alt)) << i;
        }
    }
    const SightingTime last = r.entries[11].sighting.time;
    EXPECT_EQ(std::tuple(last.year, last.month, last.day, last.hour, last.minute, last.second),
              std::tuple(2100, 12, 31, 23, 59, 59));
    const SightingTime leap = fileTimeToSightingTime((1078058096ULL + 11644473600ULL) * 10'000'000);
    EXPECT_EQ(std::tuple(leap.year, leap.month, leap.day, leap.hour), std::tuple(2004, 2, 29, 12));
}

TEST_F(Ns1, DamageEndsTheLogAfterTheLastCompleteRecord) {
    Ap a, b{.ssid = "second"}, c{.ssid = "third"};
    a.entries = {Entry{}, Entry{.source = 0}};
    b.entries = {Entry{}, Entry{}, Entry{}};
    c.entries = {Entry{}};
    for (std::uint32_t version : {6u, 8u, 11u, 12u}) {
        SCOPED_TRACE(version);
        const std::string whole = ns1(version, {a, b, c});
        const std::size_t endA = ns1(version, {a}, 3).size();
        const std::size_t endB = ns1(version, {a, b}, 3).size();
        // Cut at every byte of the record the version ends differently (the last), and around
        // the others' ends: the entries of the records complete before the cut, then the end.
        for (std::size_t cut = 12; cut < whole.size(); ++cut) {
            if (cut < endB - 1 && cut != endA - 1 && cut != endA && cut != 12) continue;
            const Read r = read(whole.substr(0, cut));
            const std::size_t expected = cut < endA ? 0 : cut < endB ? 2 : 5;
            ASSERT_EQ(r.entries.size(), expected) << cut;
            const char* where = cut < endA ? "1" : cut < endB ? "2" : "3";
            ASSERT_EQ(r.damage, "the file is cut short in access point "s + where + " of 3") << cut;
            // The damaged record's entries that are whole in the file are counted as lost.
            EXPECT_TRUE(cut != endB - 1 || r.lost == 3) << r.lost;
        }
    }
    // Counts and lengths far past the end of the file; records a header promises but lacks.
    const std::string one = ns1(12, {a});
    const std::string countless = one.substr(0, 8) + "\xff\xff\xff\xff" + one.substr(12);
    std::string entries = one;  // DataCount at 12 + 1 + 4 + 6 + 12 + 8 + 32
    entries.replace(12 + 1 + 4 + 6 + 12 + 8 + 32, 4, "\xff\xff\xff\xff");
    std::string elements = one;
    elements.replace(one.size() - 4 - 6, 4, "\xff\xff\xff\xff");
    struct Row {
        std::string bytes;
        std::size_t handed;
        std::string damage;
    } rows[] = {
        {countless, 2, "the file is cut short in access point 2 of 4,294,967,295"},
        {entries, 0, "the file is cut short in access point 1 of 1"},
        {elements, 0, "the file is cut short in access point 1 of 1"},
        {"NetS\x0c\0\0\0\x01\0\0\0\xff"s, 0, "the file is cut short in access point 1 of 1"},
        {one + "trailing bytes", 2, ""},
        // Saved compressed: read from an unpacked copy, as the file it holds.
        {test::gzipped(one + "trailing bytes"), 2, ""},
        {test::gzipped(countless), 2, "the file is cut short in access point 2 of 4,294,967,295"},
        // Headers the reader refuses, saying why.
        {"NetS\x07\0\0\0\0\0\0\0"s, 0, "refused: unsupported .ns1 version 7"},
        {"NetS\x0d\0\0\0\0\0\0\0"s, 0, "refused: unsupported .ns1 version 13"},
        {"NetS\x0c\0\0\0\0"s, 0, "refused: the .ns1 file is cut short in its header"},
        {"NetX\x0c\0\0\0\0\0\0\0"s, 0, "refused: not a .ns1 file"},
    };
    for (const Row& row : rows) {
        const Read r = read(row.bytes);
        EXPECT_EQ(r.entries.size(), row.handed) << row.damage;
        EXPECT_EQ(r.damage, row.damage);
    }
    for (const fs::path& path : {dir / "missing.ns1", dir.path(), fs::path("/dev/zero")})
        EXPECT_EQ(test::fileErrorPath([&] { openNs1(path); }), path);
    // A compressed log whose copy cannot be written (the disk fills) fails with the copy's
    // folder and reason, and leaves nothing in it.
    const fs::path big = dir / "big.ns1.gz", scratch = dir / "scratch";
    test::writeFile(big, test::gzipped(one + std::string(2 << 20, '\0')));
    fs::create_directory(scratch);
    const auto fills = [&] {
        setenv("TMPDIR", scratch.c_str(), 1);
        return test::fileError([&] { openNs1(big); }) ==
               big.string() + ": Cannot unpack it in " + scratch.string() + ": File too large";
    };
    EXPECT_EXIT(test::exitWith(fills, 1 << 20), ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::is_empty(scratch));
    // One made to fill the disk is refused before it does.
    test::writeFile(big, test::gzipped(one + std::string(17 << 20, '\0')));
    EXPECT_EQ(test::fileError([&] { openNs1(big); }),
              big.string() + ": It unpacks to more than 64 times its size; gunzip it to read it");
    const std::pair<std::string_view, bool> looks[] = {
        {"NetS", true}, {"Net", false}, {"nets", false}};
    for (const auto& [bytes, ns1] : looks) EXPECT_EQ(looksLikeNs1(bytes), ns1) << bytes;
}

// A record whose entries are more than the reader keeps in its buffer is read again from the
// file, in order.
TEST_F(Ns1, ARecordOfManyEntriesComesThroughInOrder) {
    Ap big;
    for (int i = 0; i < 20000; ++i)
        big.entries.push_back(
            Entry{.signal = -(i % 90), .source = i % 7 ? 1 : 0, .lat = 1 + i * 1e-5});
    Ap after{.ssid = "after"};
    after.entries = {Entry{}};
    const Read r = read(ns1(12, {big, after, big}));
    ASSERT_EQ(r.entries.size(), 40001u);
    for (std::size_t i = 0; i < r.entries.size(); ++i) {
        const std::size_t k = i <= 20000 ? i : i - 20001;
        if (i == 20000) {
            ASSERT_EQ(r.ssids[i], "after");
            continue;
        }
        const Entry& e = big.entries[k];
        ASSERT_EQ(r.entries[i].sighting.rssi, e.signal) << i;
        ASSERT_EQ(r.entries[i].kind == LogEntry::Kind::Sighting, e.source == 1) << i;
        if (e.source == 1) {
            ASSERT_EQ(r.entries[i].sighting.latitude, e.lat) << i;
        }
    }
    // Cut in its last two entries (55 bytes follow them): the entries whole before the cut
    // are lost with the record.
    const std::string cut = ns1(12, {after, big});
    const Read damaged = read(std::string_view(cut).substr(0, cut.size() - 100));
    EXPECT_EQ(damaged.entries.size(), 1u);
    EXPECT_EQ(damaged.damage, "the file is cut short in access point 2 of 2");
    EXPECT_EQ(damaged.lost, 19998u);
}

}  // namespace
}  // namespace velmora
