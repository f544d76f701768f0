// SPDX-License-Identifier: GPL-3.0-or-later
#include "support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velmora::fuzz {

namespace fs = std::filesystem;

const fs::path& scratchFolder() {
    static const fs::path folder = [] {
        // libFuzzer ends without running exit handlers: fuzz/run.sh names a folder it removes
        // itself. Memory-backed, it keeps millions of small writes off the disk.
        std::error_code ec;
        const char* given = std::getenv("VELMORA_FUZZ_SCRATCH");
        const fs::path base = given                              ? fs::path(given)
                              : fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                                 : fs::temp_directory_path();
        const fs::path made = base / ("velmora-fuzz-" + std::to_string(getpid()));
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

fs::path scratchFile(std::string_view name, std::string_view bytes) {
    const fs::path path = scratchFolder() / name;
    std::error_code ec;
    fs::remove(path, ec);  // may be a read-only working file
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) fail("cannot write the scratch file");
    return path;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> referenceLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            line.push_back(c);
            continue;
        }
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n') lines.push_back(line);
    return lines;
}

std::vector<std::string> referenceItems(std::string_view line) {
    std::vector<std::string> items;
    if (line.empty()) return items;
    std::size_t p = 0;
    for (;;) {
        while (p < line.size() && line[p] == ' ') ++p;
        std::string item;
        bool more = false;
        if (p < line.size() && line[p] == '"') {
            ++p;
            while (p < line.size()) {
                if (line[p] != '"') {
                    item.push_back(line[p++]);
                } else if (p + 1 < line.size() && line[p + 1] == '"') {
                    item.push_back('"');
                    p += 2;
                } else {
                    ++p;
                    break;
                }
            }
            while (p < line.size() && line[p] != ',') ++p;  // dropped after the closing quote
        } else {
            while (p < line.size() && line[p] != ',') item.push_back(line[p++]);
        }
        if (p < line.size()) {  // at a comma: another item follows, maybe an empty one
            ++p;
            more = true;
        }
        items.push_back(std::move(item));
        if (!more) return items;
    }
}

std::vector<std::vector<std::string>> referenceRecords(std::string_view bytes) {
    std::vector<std::string> items;
    for (const std::string& line : referenceLines(bytes))
        for (std::string& item : referenceItems(line)) items.push_back(std::move(item));
    std::vector<std::vector<std::string>> records;
    for (std::size_t i = 0; i < items.size(); i += 11) {
        std::vector<std::string> record(11);
        for (std::size_t k = 0; k < 11 && i + k < items.size(); ++k) record[k] = items[i + k];
        records.push_back(std::move(record));
    }
    return records;
}

namespace {

// One column of a data line: a hemisphere letter from `letters`, spaces and a number.
bool referenceCoordinate(const std::string& item, const std::string& letters, int limit,
                         bool zeroAllowed) {
    if (item.size() < 3 || letters.find(item[0]) == std::string::npos || item[1] != ' ')
        return false;
    const std::string number = item.substr(item.find_first_not_of(' ', 1) == std::string::npos
                                               ? item.size()
                                               : item.find_first_not_of(' ', 1));
    const std::size_t dot = number.find('.');
    std::string whole = number.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : number.substr(dot + 1);
    if (whole.empty() || (dot != std::string::npos && fraction.empty())) return false;
    if (whole.find_first_not_of("0123456789") != std::string::npos ||
        fraction.find_first_not_of("0123456789") != std::string::npos)
        return false;
    whole.erase(0, whole.find_first_not_of('0'));
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (whole.empty() && fraction.empty()) return zeroAllowed;
    const std::string most = std::to_string(limit);
    if (whole.size() != most.size()) return whole.size() < most.size();
    return whole < most || (whole == most && fraction.empty());
}

}  // namespace

std::vector<std::string> referenceColumns(std::string_view line) {
    std::vector<std::string> columns(1);
    for (char c : line) {
        if (c == '\t')
            columns.emplace_back();
        else
            columns.back() += c;
    }
    return columns;
}

bool referenceHasPosition(std::string_view line) {
    if (line.size() > 65536) return false;
    const std::vector<std::string> columns = referenceColumns(line);
    return columns.size() >= 2 && referenceCoordinate(columns[0], "NnSs", 90, false) &&
           referenceCoordinate(columns[1], "EeWw", 180, true);
}

std::string referenceSigned(std::string value, char positive, char negative) {
    const auto lower = [](char c) { return static_cast<char>(c - 'A' + 'a'); };
    if (!value.empty() && (value[0] == positive || value[0] == lower(positive))) value.erase(0, 1);
    if (!value.empty() && (value[0] == negative || value[0] == lower(negative))) value[0] = '-';
    return value;
}

std::string referenceExportLine(Record record) {
    record[0] = referenceSigned(record[0], 'N', 'S');
    record[1] = referenceSigned(record[1], 'E', 'W');
    std::string out;
    for (std::size_t k = 0; k < record.size(); ++k) {
        if (k) out += ';';
        const std::string& item = record[k];
        if (item.find_first_of(";\"") == std::string::npos) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        out += '"';
    }
    return out + "\r\n";
}

std::string referenceExport(std::string_view workingBytes,
                            const std::function<bool(const Record&)>& passes,
                            const std::function<void(Record&)>& change) {
    std::string out = "Latitude;Longitude;Name; ;Name 2\r\n";
    for (Record& record : referenceRecords(workingBytes)) {
        if (!passes(record)) continue;
        if (change) change(record);
        out += referenceExportLine(std::move(record));
    }
    return out;
}

void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace velmora::fuzz
