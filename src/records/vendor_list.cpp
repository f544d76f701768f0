// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/vendor_list.h"

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

std::size_t VendorList::slotOf(std::uint64_t prefix) const {
    // Fibonacci hashing: the top bits of the product.
    return static_cast<std::size_t>((prefix * 0x9E3779B97F4A7C15ULL) >> (64 - slotBits_));
}

void VendorList::index() {
    slotBits_ = 1;
    while ((std::size_t{1} << slotBits_) < 2 * entries_.size()) ++slotBits_;
    slots_.assign(std::size_t{1} << slotBits_, 0);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        std::size_t slot = slotOf(entries_[k].prefix);
        // An earlier line of the same prefix keeps its slot.
        while (slots_[slot] != 0 && entries_[slots_[slot] - 1].prefix != entries_[k].prefix)
            slot = (slot + 1) & mask;
        if (slots_[slot] == 0) slots_[slot] = static_cast<std::uint32_t>(k + 1);
    }
}

std::optional<std::string_view> VendorList::find(std::string_view entry) const {
    static_assert(sizeof(std::uint64_t) == kMacPrefixLength);
    if (entry.size() < kMacPrefixLength || slots_.empty()) return std::nullopt;
    const std::uint64_t prefix = key(entry);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = slotOf(prefix); slots_[slot] != 0; slot = (slot + 1) & mask) {
        const Entry& found = entries_[slots_[slot] - 1];
        if (found.prefix == prefix) return std::string_view(texts_).substr(found.begin, found.size);
    }
    return std::nullopt;
}

VendorList LoadVendorList(const std::filesystem::path& file) {
    LineReader reader(file);
    VendorList list;
    std::string line;
    // A line longer than any vendor's (a file given as the list by mistake may have no line
    // end at all) is read past without being held, and is no entry.
    constexpr std::size_t kLineLimit = 1 << 16;
    bool complete = true;
    while (reader.nextBounded(line, kLineLimit, complete))
        list.add(complete ? std::string_view(line) : std::string_view());
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
