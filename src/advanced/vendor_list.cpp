#include "advanced/vendor_list.h"

#include "io/line_reader.h"

namespace velmora {

namespace {

constexpr std::size_t kPrefixLength = 8;

bool isUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

}  // namespace

bool isVendorPrefix(std::string_view text) {
    if (text.size() < kPrefixLength) return false;
    for (std::size_t i = 0; i < kPrefixLength; ++i) {
        const bool ok = i % 3 == 2 ? text[i] == ':' : isUpperHexDigit(text[i]);
        if (!ok) return false;
    }
    return true;
}

VendorList::VendorList(std::vector<std::string> lines) : lines_(std::move(lines)) {
    firstLine_.reserve(lines_.size());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view line = lines_[i];
        // emplace keeps an existing key, so the earliest line of a prefix wins.
        if (isVendorPrefix(line)) firstLine_.emplace(std::string(line.substr(0, kPrefixLength)), i);
    }
}

std::optional<std::string_view> VendorList::find(std::string_view entry) const {
    if (entry.size() < kPrefixLength) return std::nullopt;
    const auto it = firstLine_.find(std::string(entry.substr(0, kPrefixLength)));
    if (it == firstLine_.end()) return std::nullopt;
    return std::string_view(lines_[it->second]).substr(kPrefixLength);
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

}  // namespace velmora
