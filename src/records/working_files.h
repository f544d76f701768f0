#pragma once

#include <filesystem>
#include <thread>

namespace velmora {

// The working record file `output1` and the loader's scratch copy `output2`, both in one
// folder (the application folder for the desktop program).
struct WorkingFiles {
    std::filesystem::path folder;

    std::filesystem::path output1() const { return folder / "output1"; }
    std::filesystem::path output2() const { return folder / "output2"; }
};

// This platform has no hidden attribute: a hidden working file is made read-only, and a
// normal one writable again. Both ignore a missing file.
void setHiddenAttribute(const std::filesystem::path& file);
void setNormalAttribute(const std::filesystem::path& file);

// Resets the attributes and deletes the file. A missing or undeletable file is no error.
void removeWorkingFile(const std::filesystem::path& file);

// Takes the working files of the last load out of the way at once and deletes them on a thread
// of its own: deleting a large file makes the system free its pages in memory, which takes
// milliseconds the load need not wait for. Each regular file is renamed to a hidden name
// (".output1.old-" and a number) in its folder; a link, or a file that cannot be renamed, is
// deleted at once as removeWorkingFile() does. Hidden files of that kind left by a load that
// stopped midway are deleted too. Files of a few MiB are deleted at once. The destructor waits
// for the deletions.
class OldWorkingFiles {
  public:
    explicit OldWorkingFiles(const WorkingFiles& files);
    ~OldWorkingFiles();
    OldWorkingFiles(const OldWorkingFiles&) = delete;
    OldWorkingFiles& operator=(const OldWorkingFiles&) = delete;

  private:
    std::thread thread_;
};

}  // namespace velmora
