// SPDX-License-Identifier: GPL-3.0-or-later
#include <ostream>
#include <string>

#include "advanced/mac_access_points.h"
#include "app/batch_commands.h"
#include "io/file_error.h"
#include "records/vendor_list.h"

namespace velmora::batch {

namespace {

// The desktop program would report a missing list in a window; here the report goes to
// stderr and the command fails, since a vendor column without the list means nothing.
std::optional<VendorList> loadVendors(Context& context) {
    try {
        return LoadVendorList(context.vendorList);
    } catch (const FileError& e) {
        context.err << "velmora-batch: cannot read the vendor list " << e.path().string() << ": "
                    << e.reason() << '\n';
        return std::nullopt;
    }
}

// The MAC address a command names, upper-cased, as an entry's first 17 characters read.
std::string takeMacAddress(Args& args, const char* command) {
    const auto word = args.take();
    if (!word) throw UsageError{std::string(command) + " needs a MAC address"};
    return macAddressArgument(*word);
}

}  // namespace

int listAccessPoints(Context& context, Args&) {
    const auto vendors = loadVendors(context);
    if (!vendors) return 1;
    // Hundreds of thousands of lines: gathered and written in large pieces.
    std::string lines;
    for (const std::string& entry : loadApEntries(context.files.output1())) {
        lines.append(entry).append(1, '\t').append(vendorLabel(*vendors, entry)).append(1, '\n');
        if (lines.size() >= (1 << 16)) {
            context.out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
            lines.clear();
        }
    }
    context.out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    return 0;
}

int exportMac(Context& context, Args& args) {
    const std::string mac = takeMacAddress(args, "mac");
    const std::string stem = macExportFileName(mac);
    const std::string fileName = advancedExportFileName(
        stem, stem + "." + std::string(kMacExportExtension), context.style.format);
    const auto workingFile = context.files.output1();
    // As ap-name and criteria: a file of the header alone would pass for an export, and would
    // replace an earlier one of the same name.
    if (!hasMacAddress(workingFile, mac)) {
        context.err << "velmora-batch: mac: no sighting of " << mac << "; nothing written\n";
        return 1;
    }
    const auto result =
        exportMacAddress(workingFile, mac, context.outFolder, fileName, exportStyle(context));
    context.out << result.target.string() << '\n';
    return 0;
}

int showVendor(Context& context, Args& args) {
    const std::string mac = takeMacAddress(args, "vendor");
    const auto vendors = loadVendors(context);
    if (!vendors) return 1;
    context.out << vendorLabel(*vendors, mac) << '\n';
    return 0;
}

}  // namespace velmora::batch
