// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a source log. A load either rejects the file, leaving the working files
// as they were, or leaves output1 with exactly eleven items on every line, output2 equal to
// it, and both equal to what a plain line-by-line loader makes of the log, counts included,
// and output1.extras equal to the plain reading of each record's signal column, date and name.
//
// A log of another format of the table (a WiGLE CSV, a binary .ns1), which that reference
// cannot model, is loaded all the same: a load leaves output1 with eleven items on every line,
// output2 equal to it and one extras line per record; a refusal leaves the working files.
//
// The first byte picks a header to put in front (most random files are rejected at once
// otherwise): none, a wi-scan text or summary format line, a WiGLE CSV's two header lines or
// a .ns1 signature and version; the rest is the log. Or it picks a wi-scan text log saved
// gzip-compressed, as two members joined (where the second byte says), which loads as the
// log it holds; any other file that starts as a gzip file may be refused as damaged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "io/gzip_stream.h"
#include "loader/log_formats.h"
#include "loader/source_loader.h"
#include "records/record_extras.h"
#include "records/working_record.h"
#include "sightings/map_point.h"
#include "support.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

void appendItem(std::string& out, const std::string& item) {
    if (item.find_first_of(",\"") == std::string::npos) {
        out += item;
        return;
    }
    out += '"';
    for (char c : item) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// `text` as one gzip member, appended to `out`.
void appendGzipMember(std::string& out, std::string_view text) {
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    out.append(packed.data(), z.total_out);
    deflateEnd(&z);
}

struct Expected {
    bool accepted = false;
    std::string output1;
    std::string extras;
    LoadCounts counts;
};

bool isDigitText(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The date a "# $DateGMT:" line gives: " YYYY-MM-DD" after the prefix, blanks after it
// allowed, a month 1 to 12 and a day 1 to 31; "" for anything else.
std::string referenceDate(const std::string& line) {
    std::string rest = line.substr(std::string("# $DateGMT:").size());
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
    if (rest.size() != 11 || rest[0] != ' ' || rest[5] != '-' || rest[8] != '-') return "";
    const std::string year = rest.substr(1, 4), month = rest.substr(6, 2), day = rest.substr(9, 2);
    if (!isDigitText(year) || !isDigitText(month) || !isDigitText(day)) return "";
    if (std::stoi(month) < 1 || std::stoi(month) > 12 || std::stoi(day) < 1 || std::stoi(day) > 31)
        return "";
    return rest.substr(1);
}

// The extras line of a data line: the seventh column, trimmed of spaces, without a leading
// "[" and a trailing "]", split at spaces; each of the first three parts that is "-" or
// nothing before one to nine digits, as it stands; then the date, and the extras table's
// other values, all empty but the exact name.
std::string referenceExtras(const std::string& line, const std::string& date,
                            const std::string& items) {
    std::vector<std::string> columns = fuzz::referenceColumns(line);
    std::string column = columns.size() >= 7 ? columns[6] : "";
    const auto trim = [&column] {
        while (!column.empty() && column.front() == ' ') column.erase(column.begin());
        while (!column.empty() && column.back() == ' ') column.pop_back();
    };
    trim();
    if (!column.empty() && column.front() == '[') column.erase(column.begin());
    trim();
    if (!column.empty() && column.back() == ']') column.pop_back();
    std::vector<std::string> parts;
    std::string part;
    for (char c : column + " ") {
        if (c != ' ') {
            part += c;
        } else if (!part.empty()) {
            parts.push_back(part);
            part.clear();
        }
    }
    // The record's check: its items joined by ",", as written into the extras line.
    std::string extras(kExtrasCheckLength + 1, ' ');
    writeExtrasCheck(recordCheck(items), extras.data());
    for (std::size_t k = 0; k < 3; ++k) {
        const std::string p = k < parts.size() ? parts[k] : "";
        const std::string digits = !p.empty() && p[0] == '-' ? p.substr(1) : p;
        if (isDigitText(digits) && digits.size() <= 9) extras += p;
        extras += ',';
    }
    // A wi-scan log gives no value after the date but its name: the third column as it stands,
    // or what stands between "( " and " )", its bytes read as Windows-1252.
    std::string name = columns.size() >= 3 ? columns[2] : "";
    if (name.size() >= 3 && name.compare(0, 2, "( ") == 0 &&
        name.compare(name.size() - 2, 2, " )") == 0)
        name = name.size() == 3 ? "" : name.substr(2, name.size() - 4);
    const std::string utf8 = windows1252ToUtf8(name);
    std::string escaped(3 * kExtrasTextLimit, '\0');
    escaped.resize(
        static_cast<std::size_t>(escapeExtrasText(utf8, escaped.data()) - escaped.data()));
    return extras + date + std::string(kExtrasFieldCount - 4, ',') + escaped + "\r\n";
}

Expected referenceLoad(std::string_view log) {
    Expected e;
    const auto lines = fuzz::referenceLines(log);
    if (lines.size() < 2) return e;
    if (lines[1] != "# $Format: wi-scan with extensions" &&
        lines[1] != "# $Format: wi-scan summary with extensions")
        return e;
    e.accepted = true;
    std::string date;
    for (const std::string& line : lines) {
        if (line.rfind("# $DateGMT:", 0) == 0)
            date = line.size() > 65536 ? "" : referenceDate(line);
        if (!line.empty() && line[0] == '#') continue;
        // A line too long to hold is dropped unread, blank or not.
        const bool tooLong = line.size() > 65536;
        if (!tooLong && line.find_first_not_of(" \t") == std::string::npos) continue;
        if (!fuzz::referenceHasPosition(line)) {
            ++e.counts.dropped;
            continue;
        }
        std::string fields[11];
        std::size_t column = 0;
        for (char c : line) {
            if (c == '\t') {
                if (++column == 11) break;
            } else if (c != ' ' && c != '(' && c != ')') {
                fields[column] += c;
            }
        }
        if (fields[2].empty()) fields[2] = "#Blank#";
        for (std::size_t k = 0; k < 11; ++k) {
            if (k) e.output1 += ',';
            appendItem(e.output1, fields[k]);
        }
        e.output1 += "\r\n";
        std::string items;
        for (std::size_t k = 0; k < 11; ++k) items += (k ? "," : "") + fields[k];
        e.extras += referenceExtras(line, date, items);
        const std::string& flags = fields[8];
        const char second = flags.empty()       ? 0
                            : flags.size() == 1 ? flags[0]
                                                : flags[flags.size() - 2];
        const char last = flags.empty() ? 0 : flags.back();
        if (second == '0' || second == '2' || second == '4') ++e.counts.wepOff;
        if (second == '1' || second == '3' || second == '5') ++e.counts.wepOn;
        if (last == '1' || last == '5') ++e.counts.infrastructure;
        if (last == '2' || last == '6') ++e.counts.adHoc;
        ++e.counts.total;
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string log;
    std::string plain;  // what the log holds, when it is saved compressed
    switch (data[0] % 7) {
        case 6:
            plain = "# first\r\n# $Format: wi-scan with extensions\r\n";
            plain.append(reinterpret_cast<const char*>(data + 1), size - 1);
            {
                const std::size_t split = size > 1 ? data[1] % plain.size() : 0;
                appendGzipMember(log, std::string_view(plain).substr(0, split));
                appendGzipMember(log, std::string_view(plain).substr(split));
            }
            break;
        case 1:
            log = "# first\r\n# $Format: wi-scan with extensions\r\n";
            break;
        case 2:
            log = "x\n# $Format: wi-scan summary with extensions\r";
            break;
        case 3:
            log =
                "WigleWifi-1.6,appRelease=1\nMAC,SSID,AuthMode,FirstSeen,Channel,RSSI,"
                "CurrentLatitude,CurrentLongitude,AltitudeMeters,AccuracyMeters,Type\n";
            break;
        case 4:
            log = std::string("NetS\x0c\0\0\0", 8);
            break;
        default:
            break;
    }
    if (plain.empty()) log.append(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool packed = startsGzip(log);
    const LogFormat* format = recogniseLog(packed ? plain : log);
    // A wi-scan log, or none: the reference reads it (what a compressed one holds).
    const bool modelled = (!packed || !plain.empty()) && (!format || !format->open);

    const WorkingFiles files{fuzz::scratchFolder()};
    const std::string before = "earlier working file\r\n";
    fuzz::scratchFile("output1", before);
    fuzz::scratchFile("output2", before);
    fuzz::scratchFile("output1.extras", before);
    const LoadResult result = loadSourceLog(fuzz::scratchFile("log", log), files);
    const Expected expected = modelled ? referenceLoad(packed ? plain : log) : Expected{};

    if (result.status != LoadStatus::Loaded) {
        fuzz::check(result.status == LoadStatus::BadFile ||
                        (packed && plain.empty() && result.status == LoadStatus::NotReadable),
                    "a readable log failed to load");
        fuzz::check(!expected.accepted, "an acceptable log was rejected");
        fuzz::check(fuzz::readAll(files.output1()) == before &&
                        fuzz::readAll(files.output2()) == before &&
                        fuzz::readAll(files.extras()) == before,
                    "a rejected log touched the working files");
        return 0;
    }
    fuzz::check(expected.accepted || !modelled, "a log without a format line was loaded");
    const std::string output1 = fuzz::readAll(files.output1());
    fuzz::check(fuzz::readAll(files.output2()) == output1, "output2 differs from output1");

    // Eleven items on every line, whatever the reference says.
    std::size_t lines = 0;
    for (std::size_t start = 0; start < output1.size(); ++lines) {
        const std::size_t end = output1.find("\r\n", start);
        fuzz::check(end != std::string::npos, "output1 line without CR LF");
        const std::string_view line(output1.data() + start, end - start);
        fuzz::check(line.find_first_of("\r\n") == std::string_view::npos, "line end in a record");
        fuzz::check(fuzz::referenceItems(line).size() == 11, "record line without eleven items");
        start = end + 2;
    }
    fuzz::check(lines == result.counts.total, "total differs from the lines written");
    if (!modelled) {
        const std::string extras = fuzz::readAll(files.extras());
        std::size_t extrasLines = 0;
        for (std::size_t at = extras.find("\r\n"); at != std::string::npos;
             at = extras.find("\r\n", at + 2))
            ++extrasLines;
        fuzz::check(extrasLines == lines, "not one extras line per record");
        return 0;
    }
    fuzz::check(output1 == expected.output1, "output1 differs from the reference load");
    fuzz::check(fuzz::readAll(files.extras()) == expected.extras,
                "output1.extras differs from the reference load");
    const LoadCounts& c = result.counts;
    const LoadCounts& x = expected.counts;
    fuzz::check(c.total == x.total && c.dropped == x.dropped && c.wepOff == x.wepOff &&
                    c.wepOn == x.wepOn && c.infrastructure == x.infrastructure &&
                    c.adHoc == x.adHoc,
                "counts differ from the reference load");
    return 0;
}
