#include "support/test_support.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmora::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Working files are left read-only; make everything removable first.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

fs::path repoFile(std::string_view relative) { return fs::path(VELMORA_SOURCE_DIR) / relative; }

std::string textLog(std::initializer_list<std::string_view> dataLines, std::string_view eol) {
    std::string log;
    for (std::string_view line :
         {std::string_view("# $Creator: Network Stumbler Version 0.4.0"),
          std::string_view("# $Format: wi-scan with extensions"),
          std::string_view("# Latitude\tLongitude\t( SSID )\tType\t( BSSID )\tTime (GMT)\t"
                           "[ SNR Sig Noise ]\t# ( Name )\tFlags\tChannelbits\tBcnIntvl"),
          std::string_view("# $DateGMT: 2004-06-05")}) {
        log.append(line).append(eol);
    }
    for (std::string_view line : dataLines) log.append(line).append(eol);
    return log;
}

std::string dataLine(std::string_view lat, std::string_view lon, std::string_view ssid,
                     std::string_view bssid, std::string_view flags, std::string_view type) {
    std::string line;
    line.append(lat).append("\t").append(lon).append("\t( ").append(ssid).append(" )\t");
    line.append(type).append("\t( ").append(bssid).append(" )\t01:02:03 (GMT)\t[ 25 74 49 ]\t");
    line.append("# (  )\t").append(flags).append("\t00000040\t100");
    return line;
}

}  // namespace velmora::test
