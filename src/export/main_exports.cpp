// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/main_exports.h"

#include "export/styled_export.h"
#include "records/flags.h"

namespace velmora {

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
            return flags::kQuickSortLocked(flags);
        case MainExport::Open:
            return flags::kQuickSortOpen(flags);
        case MainExport::Infrastructure:
            return flags::kQuickSortInfrastructure(flags);
        case MainExport::AdHoc:
            return flags::kQuickSortAdHoc(flags);
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
    return runMainExport(kind, workingFile, folder, logFileName, ExportStyle{});
}

std::filesystem::path runMainExport(MainExport kind, const std::filesystem::path& workingFile,
                                    const std::filesystem::path& folder,
                                    const std::string& logFileName, const ExportStyle& style) {
    return writeMainExport(kind, workingFile, folder, logFileName, style).target;
}

MainExportWritten writeMainExport(MainExport kind, const std::filesystem::path& workingFile,
                                  const std::filesystem::path& folder,
                                  const std::string& logFileName, const ExportStyle& style) {
    MainExportWritten written;
    written.target =
        folder / mainExportFileName(mainExportInfo(kind).prefix, logFileName, style.format);
    ExportStyle named = style;
    if (named.documentName.empty()) named.documentName = logFileName;
    written.points =
        writeStyledExport(workingFile, written.target, mainExportSelection(kind), named);
    return written;
}

}  // namespace velmora
