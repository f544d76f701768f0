// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/log_formats.h"

#include <algorithm>
#include <array>
#include <optional>

#include "loader/ns1_reader.h"
#include "loader/wigle_csv_reader.h"

namespace velmora {

namespace {

constexpr std::string_view kTextFormat = "# $Format: wi-scan with extensions";
constexpr std::string_view kSummaryFormat = "# $Format: wi-scan summary with extensions";
// The longest first line of a wi-scan log, and its longest format line: enough to tell,
// without reading a long first line whole.
constexpr std::size_t kFirstLineLimit = std::size_t{1} << 16;
constexpr std::size_t kHeaderLimit = 64;
static_assert(kLogSniffLimit >= kFirstLineLimit + 2 + kHeaderLimit + 2);

// The second line of `bytes`, as the loader's line reader splits lines (at CR LF, a lone CR
// or a lone LF), when the first is at most kFirstLineLimit bytes long and the second at most
// kHeaderLimit; nothing otherwise.
std::optional<std::string_view> secondLine(std::string_view bytes) {
    const auto lineEnd = [&](std::size_t from) { return bytes.find_first_of("\r\n", from); };
    const std::size_t first = lineEnd(0);
    if (first == std::string_view::npos || first > kFirstLineLimit) return std::nullopt;
    std::size_t start = first + 1;
    if (bytes[first] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    if (start >= bytes.size()) return std::nullopt;
    const std::size_t end = std::min(lineEnd(start), bytes.size());
    if (end - start > kHeaderLimit) return std::nullopt;
    return bytes.substr(start, end - start);
}

bool isTextExport(std::string_view bytes) {
    return secondLine(bytes) == kTextFormat;
}

bool isSummaryExport(std::string_view bytes) {
    return secondLine(bytes) == kSummaryFormat;
}

std::unique_ptr<LogReader> openNs1Log(const std::filesystem::path& path) {
    return openNs1(path);
}

// clang-format off
const std::array<LogFormat, 4> kLogFormats{{
    {SourceType::TextExport,    "NS1 Text Export",    isTextExport,      nullptr,      NameBytes::AsLogged},
    {SourceType::SummaryExport, "NS1 Summary Export", isSummaryExport,   nullptr,      NameBytes::AsLogged},
    {SourceType::Ns1Binary,     "NS1 Binary Log",     looksLikeNs1,      openNs1Log,   NameBytes::AsLogged},
    {SourceType::WigleCsv,      "WiGLE CSV",          looksLikeWigleCsv, openWigleCsv, NameBytes::Printable},
}};
// clang-format on

}  // namespace

std::span<const LogFormat> logFormats() {
    return kLogFormats;
}

const LogFormat* recogniseLog(std::string_view firstBytes) {
    firstBytes = firstBytes.substr(0, kLogSniffLimit);
    for (const LogFormat& format : kLogFormats)
        if (format.recognise(firstBytes)) return &format;
    return nullptr;
}

const LogFormat& logFormat(SourceType type) {
    for (const LogFormat& format : kLogFormats)
        if (format.type == type) return format;
    return kLogFormats.front();
}

}  // namespace velmora
