// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>

namespace velmora {

// The logs named on the desktop program's command line, from its arguments after the
// program's own name: every word, except that the first "--" ends the options and names no
// log (a log called "--" or "-x" follows it). `Words` is a list of strings that compare with
// a C string (std::vector<std::string>, QStringList).
template <typename Words>
Words logArguments(Words words) {
    const auto end =
        std::find_if(words.begin(), words.end(), [](const auto& word) { return word == "--"; });
    if (end != words.end()) words.erase(end);
    return words;
}

}  // namespace velmora
