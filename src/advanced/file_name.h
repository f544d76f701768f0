// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace velmora {

// Whether `name`, made from log bytes, names a file directly inside the folder it is joined
// to: not empty, no "/" (which would reach into another folder), no NUL byte (which would cut
// the name short), and not "." or "..".
bool isPlainFileName(std::string_view name);

}  // namespace velmora
