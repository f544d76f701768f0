#include "advanced/vendor_list.h"

#include <algorithm>
#include <cstring>

#include "io/line_reader.h"

namespace velmora {

VendorList::VendorList(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) add(line);
    index();
}

std::uint64_t VendorList::key(std::string_view entry) {
    std::uint64_t prefix;
    std::memcpy(&prefix, entry.data(), sizeof prefix);
    return prefix;
}

void VendorList::add(std::string_view line) {
    ++lines_;
    if (!isVendorPrefix(line)) return;
    const std::string_view text = line.substr(kMacPrefixLength);
    entries_.push_back({key(line), texts_.size(), text.size()});
    texts_.append(text);
}

void VendorList::index() {
    const auto byPrefix = [](const Entry& a, const Entry& b) { return a.prefix < b.prefix; };
    // A stable sort keeps the lines of a prefix in file order, and unique() the first of them.
    std::stable_sort(entries_.begin(), entries_.end(), byPrefix);
    const auto last =
        std::unique(entries_.begin(), entries_.end(),
                    [](const Entry& a, const Entry& b) { return a.prefix == b.prefix; });
    entries_.erase(last, entries_.end());
    entries_.shrink_to_fit();
}

std::optional<std::string_view> VendorList::find(std::string_view entry) const {
    static_assert(sizeof(std::uint64_t) == kMacPrefixLength);
    if (entry.size() < kMacPrefixLength) return std::nullopt;
    const std::uint64_t prefix = key(entry);
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), prefix,
                                     [](const Entry& e, std::uint64_t p) { return e.prefix < p; });
    if (it == entries_.end() || it->prefix != prefix) return std::nullopt;
    return std::string_view(texts_).substr(it->begin, it->size);
}

VendorList LoadVendorList(const std::filesystem::path& file) {
    LineReader reader(file);
    VendorList list;
    std::string line;
    while (reader.next(line)) list.add(line);
    list.index();
    return list;
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
