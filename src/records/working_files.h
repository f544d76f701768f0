#pragma once

#include <filesystem>

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

}  // namespace velmora
