// SPDX-License-Identifier: GPL-3.0-or-later
// Eleven arbitrary fields: the export line signs exactly one leading hemisphere letter of each
// coordinate, quotes the fields that hold ";" or a quote and joins them by ";" with CR LF, and a
// record stored in a working file goes through the whole export to the same line; a selection's
// upper-casing gives the line of the record with those items upper-cased first. The
// quick-sort and criteria tests on `Flags` and the proposed file names run on the same bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/file_name.h"
#include "export/export_walk.h"
#include "export/main_exports.h"
#include "export/selection.h"
#include "export/st_sink.h"
#include "io/file_error.h"
#include "records/record_writer.h"
#include "support.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Fields are separated by NUL bytes in the input; missing ones stay empty.
    WorkingRecord stored;
    std::size_t k = 0;
    for (std::size_t i = 0; i < size && k < WorkingRecord::kFieldCount; ++i) {
        if (data[i] == 0)
            ++k;
        else
            stored.fields[k].push_back(static_cast<char>(data[i]));
    }

    // The export line of the record, and the same line stated plainly.
    RecordFields fields;
    for (std::size_t f = 0; f < WorkingRecord::kFieldCount; ++f) fields[f] = stored.fields[f];
    std::string line(exportLineSize(fields), '\0');
    line.resize(static_cast<std::size_t>(writeExportLine(line.data(), fields) - line.data()));
    fuzz::check(line.size() <= exportLineSize(fields), "export line longer than its room");
    fuzz::check(
        line == fuzz::referenceExportLine(fuzz::Record(stored.fields.begin(), stored.fields.end())),
        "export line");
    for (const UpperCase upper : {UpperCase::Ssid, UpperCase::Bssid, UpperCase::SsidAndBssid}) {
        RecordFields upperCased = fields;
        UpperCasing casing(upper);
        casing.apply(upperCased);
        std::string got(exportLineSize(upperCased), '\0');
        got.resize(static_cast<std::size_t>(writeExportLine(got.data(), upperCased) - got.data()));
        fuzz::Record record(stored.fields.begin(), stored.fields.end());
        if (upper != UpperCase::Bssid)
            record[WorkingRecord::SSID] = toUpperAscii(record[WorkingRecord::SSID]);
        if (upper != UpperCase::Ssid)
            record[WorkingRecord::BSSID] = toUpperAscii(record[WorkingRecord::BSSID]);
        fuzz::check(got == fuzz::referenceExportLine(record), "upper-cased export line");
    }

    const std::string& flags = stored[WorkingRecord::Flags];
    for (auto kind : {MainExport::ConvertAll, MainExport::Locked, MainExport::Open,
                      MainExport::Infrastructure, MainExport::AdHoc})
        (void)mainExportPasses(kind, flags);
    for (auto type : {ConnectionType::Bss, ConnectionType::AdHoc, ConnectionType::Both})
        for (auto wep : {WepStatus::On, WepStatus::Off, WepStatus::Both})
            (void)(passesConnectionType(type, flags) && passesWepStatus(wep, flags));
    fuzz::check(passesConnectionType(ConnectionType::Both, flags) &&
                    passesWepStatus(WepStatus::Both, flags),
                "Both refuses a record");
    CriteriaSelection selection;
    selection.name = stored[WorkingRecord::SSID];
    selection.mac = stored[WorkingRecord::BSSID];
    (void)criteriaFileName(selection);
    selection.mode = CriteriaExportMode::MacAddress;
    fuzz::check(macFileNameDigits(selection.mac).size() <= 12, "macFileNameDigits too long");
    (void)criteriaFileName(selection);
    const std::string group = apNameFileName(stored[WorkingRecord::SSID]);
    if (isPlainFileName(group))
        fuzz::check(group.find('/') == std::string::npos, "a plain name holds a slash");

    // Through a working file and the walk: only records that read back as written (no line
    // end inside a field, no leading space outside quotes) are expected to.
    for (const std::string& field : stored.fields)
        if (field.find_first_of("\r\n") != std::string::npos || (!field.empty() && field[0] == ' '))
            return 0;
    std::string working;
    appendRecordLine(working, stored);
    const auto workingFile = fuzz::scratchFile("output1", working);
    const auto target = fuzz::scratchFolder() / "export.txt";
    try {
        const auto written =
            writeStreetsAndTrips(workingFile, target, {[](const RecordFields&) { return true; }});
        fuzz::check(written == 1, "export line count");
    } catch (const FileError&) {
        fuzz::fail("export failed");
    }
    fuzz::check(fuzz::readAll(target) == std::string(kExportHeader) + line, "exported file");
    return 0;
}
