#include "records/working_files.h"

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

}  // namespace velmora
