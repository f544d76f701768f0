// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "records/working_record.h"

namespace velmora {

// What the loader keeps of each sighting beside its working record, in a file of its own, one
// line per record of output1 in the same order, so output1 keeps its layout: the three numbers
// of the source log's "[ SNR Sig Noise ]" column (which output1 joins into one item,
// "[237249]"), the date of the sighting (a wi-scan log's latest "# $DateGMT: YYYY-MM-DD" line
// above it), and what the other log formats give beyond a wi-scan line.
//
// The walks hand it over in Sighting::extras (sightings/sighting.h); the map formats and the
// map read it through describeRecord (sightings/map_point.h).
//
// The values, in the order of the extras line. To add one: add its row at the end of this
// table; the extras line's writer and parsers, one pin per access point, the map point and the
// map files then carry it. Then have the loader fill it (loader/sighting_line.cpp, extrasOf)
// and raise kExtrasLineLimit by its longest text. The columns:
//   member  its RecordExtras member
//   kind    Int      std::optional<int>, decimal ("-9")
//           Date     std::string_view "YYYY-MM-DD" or empty
//           Decimal  std::optional<double>, the shortest text that reads back to it ("61.4")
//           Text     std::string_view, UTF-8, empty for none; escaped in the line
//                    (escapeExtrasText) and cut to kExtrasTextLimit bytes
//           Exact    std::optional<std::string_view>: a Text that may be given empty; every
//                    line of all the values gives it (empty or not), a line of the first
//                    four alone does not
//   label   its name in the GeoJSON and CSV files
//   title   its name in the KML and GPX descriptions
//   map     Value: a map point value of the same member, written by every map file in table
//           order after the channels (Signal: the same, declared by the map point where it
//           has always stood); Time, Channels, Name: the map point's value of that name takes
//           it where the log gives it (sightings/map_point.cpp)
// `name` is the exact name of a WiGLE or .ns1 log, which the Advanced windows group by; `ssid`
// that of a wi-scan log's name column, for the map files alone: the windows keep grouping a
// wi-scan log by its SSID item.
#define VELMORA_EXTRAS_FIELDS(X)                        \
    X(snr, Int, "snr", "SNR", Signal)                   \
    X(signal, Int, "signal", "Signal", Signal)          \
    X(noise, Int, "noise", "Noise", Signal)             \
    X(date, Date, "date", "Date", Time)                 \
    X(rssi, Int, "rssi", "RSSI", Value)                 \
    X(auth, Text, "auth", "Auth", Value)                \
    X(altitude, Decimal, "altitude", "Altitude", Value) \
    X(accuracy, Decimal, "accuracy", "Accuracy", Value) \
    X(channel, Int, "channel", "Channel", Channels)     \
    X(name, Text, "name", "Name", Name)                 \
    X(ssid, Exact, "ssid", "SSID", Name)

enum class ExtrasKind { Int, Date, Decimal, Text, Exact };

namespace extras_kind {
using Int = std::optional<int>;
using Date = std::string_view;
using Decimal = std::optional<double>;
using Text = std::string_view;
using Exact = std::optional<std::string_view>;
}  // namespace extras_kind

struct RecordExtras {
#define VELMORA_EXTRAS_MEMBER(member, kind, label, title, map) extras_kind::kind member{};
    VELMORA_EXTRAS_FIELDS(VELMORA_EXTRAS_MEMBER)
#undef VELMORA_EXTRAS_MEMBER
};

// Calls fn(kind, label, member) for each value of `extras` in table order; `Extras` is
// RecordExtras or const RecordExtras.
template <typename Extras, typename Fn>
void forEachExtrasField(Extras& extras, Fn&& fn) {
#define VELMORA_EXTRAS_VISIT(member, kind, label, title, map) \
    fn(ExtrasKind::kind, std::string_view(label), extras.member);
    VELMORA_EXTRAS_FIELDS(VELMORA_EXTRAS_VISIT)
#undef VELMORA_EXTRAS_VISIT
}

#define VELMORA_EXTRAS_COUNT(member, kind, label, title, map) +1
inline constexpr std::size_t kExtrasFieldCount = 0 VELMORA_EXTRAS_FIELDS(VELMORA_EXTRAS_COUNT);
#undef VELMORA_EXTRAS_COUNT
// The values a wi-scan line gives (SNR, signal, noise, date): the rest are the other formats'.
inline constexpr std::size_t kWiScanExtrasFields = 4;

// The most bytes of a text value kept (a longer one is cut on a UTF-8 character's boundary):
// an SSID is 32 bytes, 96 as UTF-8 from Windows-1252; an auth text a few dozen.
inline constexpr std::size_t kExtrasTextLimit = 128;

// Where the extras' texts stand when they cannot view the line they were read from (an
// escaped text, unescaped).
struct ExtrasStore {
    std::array<std::string, kExtrasFieldCount> texts;
};

// The extras file of a working record file: its name with ".extras" added ("output1.extras").
std::filesystem::path extrasFileOf(const std::filesystem::path& workingFile);

// The check an extras line carries of its record, so that a line is never paired with another
// record: a hash of the record's items joined by "," (which is the record line itself, line end
// aside, when no item is quoted). Not kept between machines: the extras file is remade with
// its records by every load.
std::uint32_t recordCheck(std::string_view joinedItems);
// The same for a record as read; `scratch` joins items that do not stand in one run.
std::uint32_t recordCheck(const RecordFields& fields, std::string& scratch);

// An extras line: the check and each value of the table above, joined by ",", and CR LF:
// "Check,SNR,Sig,Noise,Date,RSSI,Auth,Altitude,Accuracy,Channel,Name,SSID", the check
// recordCheck's eight lower-case hexadecimal digits, each number in decimal or empty where the
// log has none, the date "YYYY-MM-DD" or empty ("3f0a91c2,23,72,49,2004-06-05,,,,,,,my  net",
// "0000beef,-9,,49,,,,,,,,", "1b2c3d4e,,,,2024-05-06,-73,[ESS],176.4,2.4,11,caf%2Cé,"). A line
// of the first four values alone is read too, the others empty. No line is longer than this,
// line end included.
inline constexpr std::size_t kExtrasCheckLength = 8;
inline constexpr std::size_t kExtrasLineLimit =
    kExtrasCheckLength + kExtrasFieldCount + 4 * 11 + 10 + 3 * 3 * kExtrasTextLimit + 2 * 24 + 2;
// Writes the check and the comma after it at `out`; returns their end.
char* writeExtrasCheck(std::uint32_t check, char* out);
// The check an extras line (without its line end) starts with; nothing for a line that starts
// otherwise.
std::optional<std::uint32_t> extrasCheckOf(std::string_view line);
// The extras an extras line (without its line end) holds. A line of any other shape gives
// empty extras, so that one damaged line costs that record its extras and nothing more; the
// texts view `line`, or `store` where they were escaped.
RecordExtras parseExtras(std::string_view line, ExtrasStore& store);
// For extras whose texts are unescaped (the tests).
RecordExtras parseExtras(std::string_view line);

// Reads the values `first` to `last` (exclusive) of the table, as writeExtrasValues wrote them
// (`text` without the "," before the first), into `extras`; false for a text of another
// shape. Texts view `text`, or `store` where they were escaped.
bool parseExtrasValues(std::string_view text, std::size_t first, std::size_t last,
                       RecordExtras& extras, ExtrasStore& store);

// Writes the values of `extras` from the table's `first` on, each after a ",", at `out`, which
// has room for kExtrasLineLimit bytes; returns their end. Texts are escaped and cut to
// kExtrasTextLimit bytes; a decimal that is not finite, or out of +-1e9, is left empty.
char* writeExtrasValues(const RecordExtras& extras, std::size_t first, char* out);

// A text as an extras line holds it: "%" "," CR and LF as "%25" "%2C" "%0D" "%0A", cut to
// kExtrasTextLimit bytes of `text` on a UTF-8 boundary. `out` has room for 3 *
// kExtrasTextLimit bytes; returns the end.
char* escapeExtrasText(std::string_view text, char* out);
// `text` cut to kExtrasTextLimit bytes on a UTF-8 boundary.
std::string_view limitExtrasText(std::string_view text);

// Whether `date` is a well-formed "YYYY-MM-DD": four digits, a month 01 to 12 and a day 01 to
// 31, joined by "-".
bool isExtrasDate(std::string_view date);

// Reads the extras file of a working record file line by line, in step with its records. A
// missing, unreadable or short extras file is no failure: a record it has no line for gets
// empty extras. A line whose check is not its record's (a line added, lost or from another
// load) ends the reading: that record and every later one get empty extras, so a record is
// never paired with another record's extras.
class ExtrasReader {
  public:
    explicit ExtrasReader(const std::filesystem::path& workingFile);
    ~ExtrasReader();
    ExtrasReader(const ExtrasReader&) = delete;
    ExtrasReader& operator=(const ExtrasReader&) = delete;

    // The extras of the next record, whose items are `record`; the texts view the reader's
    // buffer until the next call.
    RecordExtras next(const RecordFields& record);
    // next(record).name alone, for the walks that group records by their exact name: a line
    // whose name is empty is checked against its record and not parsed further. Views the
    // reader's buffer until the next call.
    std::string_view nextName(const RecordFields& record);

  private:
    struct Lines;
    // The next line if it starts with `check`, viewing the reader's buffer; else nothing, and
    // the reading ends.
    std::optional<std::string_view> nextLineOf(std::uint32_t check);

    std::unique_ptr<Lines> lines_;  // null once the file is missing, unreadable, read out or
                                    // out of step
    std::string scratch_;           // a record's items joined, when they stand apart
    ExtrasStore store_;
};

}  // namespace velmora
