#include "advanced/vendor_list.h"

#include "io/line_reader.h"

namespace velmora {

VendorList::VendorList(std::vector<std::string> lines) : lines_(std::move(lines)) {
    firstLine_.reserve(lines_.size());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view line = lines_[i];
        // emplace keeps an existing key, so the earliest line of a prefix wins.
        if (isVendorPrefix(line))
            firstLine_.emplace(std::string(line.substr(0, kMacPrefixLength)), i);
    }
}

std::optional<std::string_view> VendorList::find(std::string_view entry) const {
    if (entry.size() < kMacPrefixLength) return std::nullopt;
    const auto it = firstLine_.find(std::string(entry.substr(0, kMacPrefixLength)));
    if (it == firstLine_.end()) return std::nullopt;
    return std::string_view(lines_[it->second]).substr(kMacPrefixLength);
}

VendorList LoadVendorList(const std::filesystem::path& file) {
    LineReader reader(file);
    std::vector<std::string> lines;
    std::string line;
    while (reader.next(line)) lines.push_back(line);
    return VendorList(std::move(lines));
}

std::optional<std::string> LookupVendor(const VendorList& list, std::string_view entry) {
    if (const auto text = list.find(entry)) return std::string(*text);
    return std::nullopt;
}

std::string_view vendorLabel(const VendorList& vendors, std::string_view entry,
                             std::string_view notFound) {
    const auto text = vendors.find(entry);
    return text ? *text : notFound;
}

}  // namespace velmora
