// SPDX-License-Identifier: GPL-3.0-or-later
#include <optional>
#include <ostream>

#include "advanced/criteria.h"
#include "app/batch_commands.h"
#include "records/working_record.h"

namespace velmora::batch {

namespace {

ConnectionType parseType(const std::string& value) {
    if (value == "bss") return ConnectionType::Bss;
    if (value == "adhoc") return ConnectionType::AdHoc;
    if (value == "both") return ConnectionType::Both;
    throw UsageError{"--type takes bss, adhoc or both, not " + value};
}

WepStatus parseWep(const std::string& value) {
    if (value == "on") return WepStatus::On;
    if (value == "off") return WepStatus::Off;
    if (value == "both") return WepStatus::Both;
    throw UsageError{"--wep takes on, off or both, not " + value};
}

// NAME and the options that follow it, in any order; --mac only where `takesMac`.
CriteriaSelection takeSelection(const char* command, Args& args, bool takesMac) {
    const auto name = args.take();
    if (!name) throw UsageError{std::string(command) + " needs a NAME"};
    CriteriaSelection selection;
    // The window's lists hold upper-cased texts; the command takes them as typed.
    selection.name = toUpperAscii(*name);
    for (;;) {
        if (const auto type = args.takeOption("--type")) {
            selection.type = parseType(*type);
        } else if (const auto wep = args.takeOption("--wep")) {
            selection.wep = parseWep(*wep);
        } else if (const auto mac = takesMac ? args.takeOption("--mac") : std::nullopt) {
            selection.mac = macAddressArgument(*mac);
            selection.mode = CriteriaExportMode::MacAddress;
        } else {
            break;
        }
    }
    return selection;
}

}  // namespace

int criteriaMatching(Context& context, Args& args) {
    const CriteriaSelection selection = takeSelection("matching", args, false);
    const auto macs =
        recountNamed(context.files.output1(), selection.name, selection.type, selection.wep).macs;
    for (const std::string& mac : macs) context.out << mac << '\n';
    context.out << matchingRecordsText(macs.size()) << '\n';
    return 0;
}

int criteriaExport(Context& context, Args& args) {
    CriteriaSelection selection = takeSelection("criteria", args, true);
    const auto target =
        exportTarget(context, "criteria", criteriaFileName(selection, context.style.format));
    if (!target) return 1;
    const auto workingFile = context.files.output1();
    const auto named = recountNamed(workingFile, selection.name, selection.type, selection.wep);
    selection.exactName = named.exact;
    const auto& macs = named.macs;
    if (!criteriaExportAllowed(selection, macs.size())) {
        context.err << "velmora-batch: criteria: no access point of \"" << selection.name
                    << "\" meets the criteria; nothing written\n";
        return 1;
    }
    exportCriteria(workingFile, *target, selection, exportStyle(context));
    context.out << target->string() << '\n';
    return 0;
}

}  // namespace velmora::batch
