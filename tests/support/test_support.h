// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "records/working_record.h"

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

    // Removes the folders this process made and still holds: a death test's child re-run from
    // the start (not a fork) ends with _exit, which skips their destructors.
    static void removeOwn();

  private:
    void remove() const;
    std::filesystem::path path_;
    int owner_;  // the process that made it
};

// Makes a chain of folders under `parent` whose last one's path, returned, is longer than the
// system takes, so that no one, root included, can list it by its path.
std::filesystem::path makeTooDeepFolder(const std::filesystem::path& parent);

void writeFile(const std::filesystem::path& path, std::string_view bytes);
// `text` as one gzip member, as `gzip` writes a file.
std::string gzipped(std::string_view text);
std::string readFile(const std::filesystem::path& path);

// A file kept in the repository, by its path from the repository's root.
std::filesystem::path repoFile(std::string_view relative);

// A small log: the scanner's four header lines and the data lines, each ended by `eol`.
std::string textLog(std::initializer_list<std::string_view> dataLines,
                    std::string_view eol = "\r\n");

// One data line in the scanner's layout from its parts.
std::string dataLine(std::string_view lat, std::string_view lon, std::string_view ssid,
                     std::string_view bssid, std::string_view flags, std::string_view type = "BSS");

// Every record of a working record file, in order.
std::vector<WorkingRecord> readRecords(const std::filesystem::path& file);

// The file named by the FileError that `run` throws, else "<no error>" (or "<no reason>").
std::filesystem::path fileErrorPath(const std::function<void()>& run);
// "<path>: <reason>" of the FileError that `run` throws, else "<no error>".
std::string fileError(const std::function<void()>& run);

// Runs `work` in a child process, which ends with _exit(0) if `work` returns; the child's wait
// status.
int runInChild(const std::function<void()>& work);

// For EXPECT_EXIT: runs `work` with files limited to `fileSizeLimit` bytes (a disk that fills)
// and exits 0 when it returns true with peak memory grown by at most `memoryMiB` (0: any).
[[noreturn]] void exitWith(const std::function<bool()>& work, std::uint64_t fileSizeLimit = 0,
                           long memoryMiB = 0);

// Links in `folder` (made here) that nothing may write or change through: "symlink" and
// "hardlink" to a file beside the folder, and "dangling" to a name beside it that stays absent.
class LinkTrap {
  public:
    explicit LinkTrap(const std::filesystem::path& folder);
    // Whether the outside file's bytes and permissions are as they were and the absent name is.
    bool untouched() const { return state() == before_; }
    static constexpr const char* kLinks[] = {"symlink", "hardlink", "dangling"};
    const std::filesystem::path outside, absent;

  private:
    std::string state() const;
    std::string before_;
};

// A few MiB of record lines, plain and quoted, with every kind of line end: lines and CR LF
// pairs fall across the readers' chunks, and one line is longer than a chunk.
std::string chunkSpanningRecords();

}  // namespace velmora::test
