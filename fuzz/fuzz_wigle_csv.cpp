// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a WiGLE CSV log. The reader never fails on a readable file; every
// sighting it gives is a usable one (a position within range and not 0,0, a valid time, one
// channel bit at most, a name no longer than a record); it never gives more entries than the
// file has lines. Where the rows hold no double quote, each non-blank line is exactly one
// entry, in order, with the second comma-separated field as its name.
//
// The first byte picks a header to put in front (most random files are refused at once
// otherwise); the rest is the log.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/gzip_stream.h"
#include "loader/wigle_csv_reader.h"
#include "support.h"

using namespace velmora;

namespace {

bool blank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

std::string secondField(const std::string& line) {
    const std::size_t first = line.find(',');
    if (first == std::string::npos) return "";
    const std::size_t second = line.find(',', first + 1);
    return line.substr(first + 1,
                       second == std::string::npos ? std::string::npos : second - first - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string log;
    switch (data[0] % 4) {
        case 1:
            log =
                "WigleWifi-1.4,appRelease=1\nMAC,SSID,AuthMode,FirstSeen,Channel,RSSI,"
                "CurrentLatitude,CurrentLongitude,AltitudeMeters,AccuracyMeters,Type\n";
            break;
        case 2:
            log =
                "\xEF\xBB\xBFMAC,SSID,AuthMode,FirstSeen,Channel,Frequency,RSSI,Latitude,"
                "Longitude,Type\r\n";
            break;
        default:
            break;
    }
    const std::size_t head = log.size();
    log.append(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view body = std::string_view(log).substr(head);
    // A compressed file reads as what it holds, or is refused as damaged: fuzz_loader's part.
    if (startsGzip(log)) return 0;

    (void)looksLikeWigleCsv(log);
    const auto reader = openWigleCsv(fuzz::scratchFile("log.csv", log));
    if (!reader) {
        fuzz::check(head == 0, "a file with a usable header was refused");
        return 0;
    }
    std::vector<LogEntry::Kind> kinds;
    std::vector<std::string> names;
    LogEntry e;
    while (reader->next(e)) {
        kinds.push_back(e.kind);
        const LogSighting& s = e.sighting;
        names.emplace_back(s.ssid);
        if (e.kind != LogEntry::Kind::Sighting) continue;
        fuzz::check(std::isfinite(s.latitude) && std::isfinite(s.longitude) &&
                        std::abs(s.latitude) <= 90 && std::abs(s.longitude) <= 180 &&
                        (s.latitude != 0 || s.longitude != 0),
                    "a sighting without a usable position");
        fuzz::check(s.ssid.size() <= kWigleRecordLimit, "a name longer than a record");
        fuzz::check((s.channelBits & (s.channelBits - 1)) == 0, "more than one channel bit");
        fuzz::check(!s.channel || (*s.channel >= 1 && *s.channel <= 255), "a channel beyond 255");
        const SightingTime& t = s.time;
        fuzz::check(t.hasDate == t.hasTime, "a date without a time");
        fuzz::check(!t.hasDate || (t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
                                   t.hour <= 23 && t.minute <= 59 && t.second <= 59),
                    "an invalid time");
    }
    fuzz::check(reader->damage().empty(), "a damaged log");
    const std::vector<std::string> lines = fuzz::referenceLines(log);
    fuzz::check(kinds.size() <= lines.size(), "more entries than lines");

    if (head == 0 || body.find('"') != std::string_view::npos) return 0;
    std::vector<std::string> expected;
    std::vector<bool> tooLong;
    for (const std::string& line : fuzz::referenceLines(body)) {
        if (line.size() <= kWigleRecordLimit && blank(line)) continue;
        expected.push_back(secondField(line));
        tooLong.push_back(line.size() > kWigleRecordLimit);
    }
    fuzz::check(kinds.size() == expected.size(), "not one entry for each non-blank line");
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        if (tooLong[k]) {
            fuzz::check(kinds[k] == LogEntry::Kind::NoPosition, "a long line not read past");
        } else if (kinds[k] == LogEntry::Kind::Sighting) {
            fuzz::check(names[k] == expected[k], "a name other than the line's");
        }
    }
    return 0;
}
