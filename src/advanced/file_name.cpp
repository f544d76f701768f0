// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced/file_name.h"

namespace velmora {

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

}  // namespace velmora
