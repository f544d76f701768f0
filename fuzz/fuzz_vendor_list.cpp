// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the vendor list: its lines are kept as read, and every lookup finds
// what a scan of the lines in file order finds. The entries looked up are made from the
// list's own lines (so that hits happen) and from the input's last bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "advanced/mac_access_points.h"
#include "records/vendor_list.h"
#include "records/working_record.h"
#include "support.h"

using namespace velmora;

namespace {

bool referencePrefix(std::string_view s) {
    if (s.size() < 8) return false;
    for (std::size_t i = 0; i < 8; ++i) {
        const char c = s[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (i == 2 || i == 5 ? c != ':' : !hex) return false;
    }
    return true;
}

std::optional<std::string> referenceLookup(const std::vector<std::string>& lines,
                                           std::string_view entry) {
    if (entry.size() < 8) return std::nullopt;
    for (const std::string& line : lines)
        if (referencePrefix(line) && line.compare(0, 8, entry.substr(0, 8)) == 0)
            return line.substr(8);
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const VendorList list = LoadVendorList(fuzz::scratchFile("vlident.txt", bytes));
    const std::vector<std::string> lines = fuzz::referenceLines(bytes);
    fuzz::check(list.size() == lines.size(), "vendor list line count differs");

    std::vector<std::string> entries = {
        "", "00:00:00",
        bytes.size() > 20 ? std::string(bytes.substr(size - 20)) : std::string(bytes)};
    for (std::size_t i = 0; i < lines.size() && i < 64; ++i) {
        entries.push_back(lines[i]);
        entries.push_back(toUpperAscii(lines[i]) + ":00:00:00 - NET");
    }
    for (const std::string& entry : entries) {
        fuzz::check(isVendorPrefix(entry) == referencePrefix(entry), "isVendorPrefix");
        const auto want = referenceLookup(lines, entry);
        fuzz::check(LookupVendor(list, entry) == want, "LookupVendor differs");
        fuzz::check(vendorLabel(list, entry) == (want ? *want : std::string(kVendorNotFound)),
                    "vendorLabel differs");
        const std::string_view mac = entryMacAddress(entry);
        fuzz::check(mac == std::string_view(entry).substr(0, 17), "entryMacAddress");
        fuzz::check(macExportFileName(entry).size() <= 16, "macExportFileName too long");
    }
    return 0;
}
