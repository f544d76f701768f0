#include "advanced/distinct_keys.h"

namespace velmora::distinct {

namespace {

constexpr std::uint64_t kOtherBssid = std::uint64_t{1} << 63;
constexpr std::size_t kMacLength = 17;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
    std::uint64_t h = a * 0x9e3779b97f4a7c15ULL ^ b;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
}

}  // namespace

std::uint32_t Interner::id(std::string_view text) {
    if (haveLast_ && text == lastText_) return lastId_;
    auto it = ids_.find(text);
    if (it == ids_.end()) {
        it = ids_.emplace(std::string(text), static_cast<std::uint32_t>(texts_.size())).first;
        texts_.emplace_back(text);
    }
    lastText_.assign(text);
    lastId_ = it->second;
    haveLast_ = true;
    return lastId_;
}

void upperInto(std::string_view text, std::string& out) {
    out.assign(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

std::uint64_t bssidKey(std::string_view bssid, Interner& others) {
    if (bssid.size() == kMacLength) {
        std::uint64_t value = 0;
        bool ok = true;
        for (std::size_t i = 0; i < kMacLength && ok; ++i) {
            if (i % 3 == 2) {
                ok = bssid[i] == ':';
                continue;
            }
            const int digit = hexValue(bssid[i]);
            ok = digit >= 0;
            value = value << 4 | static_cast<std::uint64_t>(digit & 15);
        }
        if (ok) return value;
    }
    std::string upper;
    upperInto(bssid, upper);
    return kOtherBssid | others.id(upper);
}

std::string bssidText(std::uint64_t key, const Interner& others) {
    if (key & kOtherBssid) return others.text(static_cast<std::uint32_t>(key & ~kOtherBssid));
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(kMacLength, ':');
    for (std::size_t group = 0; group < 6; ++group) {
        const auto byte = static_cast<unsigned>(key >> (8 * (5 - group))) & 0xff;
        text[3 * group] = kDigits[byte >> 4];
        text[3 * group + 1] = kDigits[byte & 15];
    }
    return text;
}

bool PairSet::insert(std::uint64_t a, std::uint64_t b) {
    if ((size_ + 1) * 2 > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = mix(a, b) & mask;; i = (i + 1) & mask) {
        Pair& slot = slots_[i];
        if (slot.a == kEmpty) {
            slot = {a, b};
            ++size_;
            return true;
        }
        if (slot.a == a && slot.b == b) return false;
    }
}

void PairSet::grow() {
    std::vector<Pair> old(slots_.empty() ? 64 : slots_.size() * 2, Pair{kEmpty, 0});
    old.swap(slots_);
    size_ = 0;
    for (const Pair& p : old)
        if (p.a != kEmpty) insert(p.a, p.b);
}

}  // namespace velmora::distinct
