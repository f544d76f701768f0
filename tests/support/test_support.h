#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velmora::test {

// A fresh folder for one test, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// A file kept in the repository, by its path from the repository's root.
std::filesystem::path repoFile(std::string_view relative);

// The lines of a small log: the scanner's four header lines and the given data lines, each
// ended by CR LF.
std::string textLog(std::initializer_list<std::string_view> dataLines,
                    std::string_view eol = "\r\n");

// One data line in the scanner's layout from its parts.
std::string dataLine(std::string_view lat, std::string_view lon, std::string_view ssid,
                     std::string_view bssid, std::string_view flags,
                     std::string_view type = "BSS");

}  // namespace velmora::test
