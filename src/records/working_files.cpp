#include "records/working_files.h"

#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace velmora {

namespace fs = std::filesystem;

void setHiddenAttribute(const fs::path& file) {
    std::error_code ec;
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::replace, ec);
}

void setNormalAttribute(const fs::path& file) {
    std::error_code ec;
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ec);
}

void removeWorkingFile(const fs::path& file) {
    std::error_code ec;
    // A regular file or a link is ours to delete (the link itself, never what it points to);
    // a folder of that name is left alone.
    const auto type = fs::symlink_status(file, ec).type();
    if (type == fs::file_type::symlink) {
        fs::remove(file, ec);
        return;
    }
    if (type != fs::file_type::regular) return;
    setNormalAttribute(file);
    fs::remove(file, ec);
}

namespace {

constexpr const char* kOldTag = ".old-";
constexpr std::uintmax_t kWorthAThread = 8 << 20;

bool isOldWorkingFile(const std::string& name) {
    for (const char* file : {".output1", ".output2"}) {
        const std::string prefix = std::string(file) + kOldTag;
        if (name.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

void removeOld(const fs::path& folder, const std::vector<fs::path>& moved) {
    std::error_code ec;
    for (const fs::path& file : moved) fs::remove(file, ec);
    for (auto entry = fs::directory_iterator(folder, ec); !ec && entry != fs::directory_iterator();
         entry.increment(ec)) {
        std::error_code ignored;
        if (isOldWorkingFile(entry->path().filename().string()) &&
            fs::symlink_status(entry->path(), ignored).type() == fs::file_type::regular)
            fs::remove(entry->path(), ignored);
    }
}

}  // namespace

OldWorkingFiles::OldWorkingFiles(const WorkingFiles& files) {
    const auto tag = std::to_string(std::random_device()());
    std::vector<fs::path> moved;
    for (const fs::path& file : {files.output1(), files.output2()}) {
        std::error_code ec;
        if (fs::symlink_status(file, ec).type() == fs::file_type::regular) {
            const fs::path aside =
                file.parent_path() / ("." + file.filename().string() + kOldTag + tag);
            fs::rename(file, aside, ec);
            if (!ec) {
                moved.push_back(aside);
                continue;
            }
        }
        removeWorkingFile(file);
    }
    std::uintmax_t size = 0;
    for (const fs::path& file : moved) {
        std::error_code ec;
        const auto bytes = fs::file_size(file, ec);
        size += ec ? 0 : bytes;
    }
    // Small files go at once: a thread would cost more than it saves.
    if (size >= kWorthAThread) {
        try {
            thread_ = std::thread(removeOld, files.folder, std::move(moved));
            return;
        } catch (const std::system_error&) {
        }
    }
    removeOld(files.folder, moved);
}

OldWorkingFiles::~OldWorkingFiles() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace velmora
