// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a binary .ns1 log. The streaming reader must either refuse the file or
// hand over exactly the entries a plain reading of the whole file in memory finds: every entry
// of each complete record, in order, with its values, then the end, with the same damage.
//
// The first byte picks a header to put in front (random bytes rarely start with one): none,
// the signature and a supported version (the second byte picks it), or the signature alone.
// Without one, bytes that start as a gzip file stand for the log they hold.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/file_error.h"
#include "io/gzip_stream.h"
#include "loader/ns1_reader.h"
#include "support.h"

using namespace velmora;

namespace {

struct Expected {
    LogEntry::Kind kind;
    std::int32_t rssi;
    double latitude;
    std::uint32_t flags;
    std::uint64_t channels;
    std::uint64_t time;
};

// The layout read the plain way: a cursor over the whole file.
struct Plain {
    std::string_view bytes;
    std::size_t at = 0;
    bool ok = true;

    template <typename T>
    T get() {
        T value{};
        if (bytes.size() - at < sizeof value) {
            ok = false;
            at = bytes.size();
            return value;
        }
        std::memcpy(&value, bytes.data() + at, sizeof value);
        at += sizeof value;
        return value;
    }
    void skip(std::uint64_t n) {
        if (bytes.size() - at < n) {
            ok = false;
            at = bytes.size();
            return;
        }
        at += static_cast<std::size_t>(n);
    }
};

// The entries of the complete records, and the number of the record cut short (0: none).
std::vector<Expected> referenceRead(std::string_view bytes, std::uint32_t& damagedAt) {
    Plain p{bytes};
    p.skip(4);
    const auto version = p.get<std::uint32_t>();
    const auto count = p.get<std::uint32_t>();
    std::vector<Expected> all;
    damagedAt = 0;
    for (std::uint32_t ap = 0; ap < count; ++ap) {
        p.skip(p.get<std::uint8_t>() + 6 + 12);
        std::uint64_t channels = 0;
        if (version == 1) p.skip(4);
        if (version == 6) channels = p.get<std::uint32_t>();
        const auto flags = p.get<std::uint32_t>();
        p.skip(4);
        std::vector<Expected> record;
        if (version != 1) {
            p.skip(32);
            const auto n = p.get<std::uint32_t>();
            for (std::uint32_t i = 0; i < n && p.ok; ++i) {
                const auto time = p.get<std::uint64_t>();
                const auto signal = p.get<std::int32_t>();
                p.skip(4);
                const bool gps = p.get<std::int32_t>() == 1;
                double lat = 0, lon = 0;
                if (gps) {
                    lat = p.get<double>();
                    lon = p.get<double>();
                    p.skip(60 - 16);
                }
                const bool placed = gps && std::isfinite(lat) && std::isfinite(lon) &&
                                    std::fabs(lat) <= 90 && std::fabs(lon) <= 180 && lat != 0;
                record.push_back({placed ? LogEntry::Kind::Sighting : LogEntry::Kind::NoPosition,
                                  signal, placed ? lat : 0, flags, 0, time});
            }
            p.skip(p.get<std::uint8_t>());
            if (version >= 8) {
                channels = p.get<std::uint64_t>();
                p.skip(8);
            }
            if (version >= 11) p.skip(20);
            if (version >= 12) {
                p.skip(4);
                p.skip(p.get<std::uint32_t>());
            }
        }
        if (!p.ok) {
            damagedAt = ap + 1;
            return all;
        }
        for (Expected& e : record) {
            e.channels = channels;
            all.push_back(e);
        }
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::string bytes;
    const std::uint32_t versions[] = {1, 6, 8, 11, 12};
    switch (data[0] % 3) {
        case 1:
            bytes = "NetS";
            bytes.append(reinterpret_cast<const char*>(&versions[data[1] % 5]), 4);
            break;
        case 2:
            bytes = "NetS";
            break;
        default:
            break;
    }
    bytes.append(reinterpret_cast<const char*>(data + 2), size - 2);

    const auto path = fuzz::scratchFile("log.ns1", bytes);
    // A file that starts as a gzip file is read as the file it holds, or refused with the
    // reason its compressed data gives.
    if (startsGzip(bytes)) {
        std::string held;
        try {
            const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openRegularFile(path),
                                                                       std::fclose);
            GzipStream content(file.get(), path, {});
            char chunk[4096];
            for (std::size_t n; (n = content.read(chunk, sizeof chunk)) > 0;) held.append(chunk, n);
        } catch (const FileError&) {
            bool refused = false;
            try {
                openNs1(path);
            } catch (const FileError&) {
                refused = true;
            }
            fuzz::check(refused, "damaged compressed data was opened");
            return 0;
        }
        bytes = held;
    }
    std::unique_ptr<Ns1Reader> reader;
    try {
        reader = openNs1(path);
    } catch (const Ns1FormatError& e) {
        std::uint32_t version = 0;
        if (bytes.size() >= 8) std::memcpy(&version, bytes.data() + 4, 4);
        const bool refusable =
            bytes.size() < 12 || !looksLikeNs1(bytes) ||
            (version != 1 && version != 6 && version != 8 && version != 11 && version != 12);
        fuzz::check(refusable, "a readable .ns1 header was refused");
        return 0;
    }
    fuzz::check(looksLikeNs1(bytes) && bytes.size() >= 12, "a file without a header was opened");

    std::uint32_t damagedAt = 0;
    const std::vector<Expected> expected = referenceRead(bytes, damagedAt);
    LogEntry entry;
    std::size_t n = 0;
    while (reader->next(entry)) {
        fuzz::check(n < expected.size(), "more entries than the plain reading");
        const Expected& x = expected[n++];
        const LogSighting& s = entry.sighting;
        fuzz::check(entry.kind == x.kind, "entry kind");
        fuzz::check(s.rssi == x.rssi && s.capabilities == x.flags && s.channelBits == x.channels,
                    "entry values");
        fuzz::check(s.latitude == x.latitude, "latitude");
        fuzz::check(std::isfinite(s.latitude) && std::isfinite(s.longitude) &&
                        std::fabs(s.latitude) <= 90 && std::fabs(s.longitude) <= 180,
                    "a position out of range");
        const SightingTime t = fileTimeToSightingTime(x.time);
        fuzz::check(s.time.hasTime == t.hasTime && s.time.second == t.second, "time");
        if (t.hasDate)
            fuzz::check(t.year >= 1980 && t.year <= 2100 && t.month >= 1 && t.month <= 12 &&
                            t.day >= 1 && t.day <= 31 && t.hour < 24 && t.minute < 60,
                        "a date out of range");
    }
    fuzz::check(n == expected.size(), "fewer entries than the plain reading");
    fuzz::check(reader->next(entry) == false, "an entry after the end");
    const std::string damage = reader->damage();
    fuzz::check(damage.empty() == (damagedAt == 0), "damage reported or missed");
    if (damagedAt)
        fuzz::check(
            damage.find("access point " + std::to_string(damagedAt) + " of") != std::string::npos ||
                damagedAt >= 1000,
            "damage names another access point");
    return 0;
}
