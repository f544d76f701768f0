// Eleven arbitrary fields: the coordinate conversion signs exactly one leading hemisphere
// letter, the export line is the fields joined by ";" with CR LF, and a record stored in a
// working file goes through the whole export walk to the same line. The quick-sort and
// criteria tests on `Flags` and the proposed file names run on the same bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "advanced/ap_name.h"
#include "advanced/criteria.h"
#include "advanced/file_name.h"
#include "export/export_line.h"
#include "export/export_walk.h"
#include "export/main_exports.h"
#include "records/file_error.h"
#include "records/record_writer.h"
#include "support.h"

using namespace velmora;

namespace {

std::string referenceConvert(std::string value, char positive, char negative) {
    if (!value.empty() && value[0] == positive) value.erase(0, 1);
    if (!value.empty() && value[0] == negative) value[0] = '-';
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Fields are separated by NUL bytes in the input; missing ones stay empty.
    WorkingRecord record;
    std::size_t k = 0;
    for (std::size_t i = 0; i < size && k < WorkingRecord::kFieldCount; ++i) {
        if (data[i] == 0)
            ++k;
        else
            record.fields[k].push_back(static_cast<char>(data[i]));
    }
    const WorkingRecord stored = record;

    convertCoordinates(record);
    fuzz::check(record[WorkingRecord::Latitude] ==
                    referenceConvert(stored[WorkingRecord::Latitude], 'N', 'S'),
                "latitude conversion");
    fuzz::check(record[WorkingRecord::Longitude] ==
                    referenceConvert(stored[WorkingRecord::Longitude], 'E', 'W'),
                "longitude conversion");
    for (std::size_t f = 2; f < WorkingRecord::kFieldCount; ++f)
        fuzz::check(record.fields[f] == stored.fields[f], "conversion touched another field");

    std::string line;
    appendExportLine(line, record);
    std::string joined;
    for (std::size_t f = 0; f < WorkingRecord::kFieldCount; ++f)
        joined += (f ? ";" : "") + record.fields[f];
    fuzz::check(line == joined + "\r\n", "export line");

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
            exportWalk(workingFile, target, [](const WorkingRecord&) { return true; });
        fuzz::check(written == 1, "export line count");
    } catch (const FileError&) {
        fuzz::fail("export walk failed");
    }
    fuzz::check(fuzz::readAll(target) == std::string(kExportHeader) + line, "exported file");
    return 0;
}
