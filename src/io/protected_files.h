// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <vector>

namespace velmora {

// The files a program reads and no export may replace: the survey log it has loaded and the
// vendor list it looks makers up in. Each role holds one file at a time, kept by its name and
// by the device and inode it had when it was named; a later protectFile() of the same role
// takes its place. Safe to call from any thread.
enum class ProtectedRole { LoadedLog, VendorList };

void protectFile(ProtectedRole role, const std::filesystem::path& file);
// The same for several files that hold the role together (the logs of one survey).
void protectFiles(ProtectedRole role, const std::vector<std::filesystem::path>& files);

// Throws FileError naming `target` when it is one of the protected files (the same device and
// inode, under whatever name): "Is the loaded log" or "Is the vendor list". A target that does
// not exist, or cannot be looked at, is none of them.
void refuseProtected(const std::filesystem::path& target);

}  // namespace velmora
