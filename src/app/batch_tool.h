// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace velmora::batch {

// The whole batch tool: `args` are the words after the program's name. Returns the exit
// status: 0 done, 1 a rejected log or a failed command, 2 bad usage. `programFolder` is where
// the default vendor list is looked for.
int runBatchTool(const std::vector<std::string>& args, const std::filesystem::path& programFolder,
                 std::ostream& out, std::ostream& err);

}  // namespace velmora::batch
