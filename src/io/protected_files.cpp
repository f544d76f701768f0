// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/protected_files.h"

#include <sys/stat.h>

#include <mutex>
#include <optional>

#include "io/file_error.h"

namespace velmora {

namespace {

struct Identity {
    dev_t device;
    ino_t inode;
    bool operator==(const Identity&) const = default;
};

std::optional<Identity> identityOf(const std::filesystem::path& file) {
    struct stat st {};
    if (file.empty() || ::stat(file.c_str(), &st) != 0) return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

struct Protected {
    std::filesystem::path name;
    std::optional<Identity> named;  // when protectFile() was called
};

std::mutex mutex;
std::vector<Protected> roles[2];

}  // namespace

void protectFile(ProtectedRole role, const std::filesystem::path& file) {
    protectFiles(role, {file});
}

void protectFiles(ProtectedRole role, const std::vector<std::filesystem::path>& files) {
    std::vector<Protected> entries;
    for (const auto& file : files) entries.push_back({file, identityOf(file)});
    const std::lock_guard guard(mutex);
    roles[static_cast<int>(role)] = std::move(entries);
}

void refuseProtected(const std::filesystem::path& target) {
    const auto identity = identityOf(target);
    if (!identity) return;
    const std::lock_guard guard(mutex);
    for (const ProtectedRole role : {ProtectedRole::LoadedLog, ProtectedRole::VendorList}) {
        // The file that was named, and whatever holds its name now (a list edited since).
        for (const Protected& entry : roles[static_cast<int>(role)])
            if (entry.named == identity || identityOf(entry.name) == identity)
                throw FileError(target, role == ProtectedRole::LoadedLog ? "Is the loaded log"
                                                                         : "Is the vendor list");
    }
}

}  // namespace velmora
