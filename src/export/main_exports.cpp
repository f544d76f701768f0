#include "export/main_exports.h"

#include <algorithm>
#include <array>

#include "export/export_walk.h"

namespace velmora {

namespace {

constexpr std::array<std::string_view, 3> kLockedCodes = {"0031", "0011", "0051"};
constexpr std::array<std::string_view, 4> kOpenCodes = {"0001", "0005", "0021", "0041"};

template <std::size_t N>
bool isOneOf(std::string_view flags, const std::array<std::string_view, N>& codes) {
    return std::find(codes.begin(), codes.end(), flags) != codes.end();
}

}  // namespace

const MainExportInfo& mainExportInfo(MainExport kind) {
    static const MainExportInfo infos[] = {
        {"FullConvert_", "Full Convert Complete!", false},
        {"LOCKED_", "Quick Sort 1 Done!", true},
        {"UNLOCKED_", "Quick Sort 2 Done!", true},
        {"All_Infrastructures_", "Quick Sort 3 Done!", true},
        {"All_AD-HOC_", "Quick Sort 4 Done!", true},
    };
    return infos[static_cast<int>(kind)];
}

bool mainExportPasses(MainExport kind, std::string_view flags) {
    switch (kind) {
        case MainExport::ConvertAll:
            return true;
        case MainExport::Locked:
            return isOneOf(flags, kLockedCodes);
        case MainExport::Open:
            return isOneOf(flags, kOpenCodes);
        case MainExport::Infrastructure:
            return !flags.empty() && flags.back() == '1';
        case MainExport::AdHoc:
            return !flags.empty() && flags.back() == '2';
    }
    return false;
}

RecordSelection mainExportSelection(MainExport kind) {
    return {[kind](const RecordFields& fields) {
        return mainExportPasses(kind, fields[WorkingRecord::Flags]);
    }};
}

std::filesystem::path runMainExport(MainExport kind, const std::filesystem::path& workingFile,
                                    const std::filesystem::path& folder,
                                    const std::string& logFileName) {
    const auto target = folder / (mainExportInfo(kind).prefix + logFileName);
    writeStreetsAndTrips(workingFile, target, mainExportSelection(kind));
    return target;
}

}  // namespace velmora
