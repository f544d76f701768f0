// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Whether `name`, made from log bytes, names a file directly inside the folder it is joined
// to: not empty, no "/" (which would reach into another folder), no NUL byte (which would cut
// the name short), and not "." or "..".
bool isPlainFileName(std::string_view name);

// A proposed name as a save dialog must get it to take it as one file of that folder: each
// byte that a dialog or a file system reads otherwise (/ \ : * ? " < > |, a control byte
// below 0x20 or DEL) is written as "%" and its two upper-case hex digits, so "SAY\"HI\".csv"
// becomes "SAY%22HI%22.csv". A "%" that is followed by two hex digits becomes "%25", so two
// different names never give the same file. Every other byte, those of UTF-8 and
// Windows-1252 letters included, stays; a name with none of these bytes is returned as it is.
std::string dialogFileName(std::string_view name);

}  // namespace velmora
