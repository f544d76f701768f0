// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>
#include <filesystem>
#include <optional>
#include <vector>

namespace velmora {

// File names are the file system's: shown in its encoding, and back. A path as the file
// system names it:
std::filesystem::path corePath(const QString& path);
// and a path as the windows show it.
QString shownPath(const std::filesystem::path& path);

// Whether a text can hold `path`: its bytes are valid in the file system's encoding, so that
// corePath(shownPath(path)) names the same file. Where they are not (a name written on another
// system), the file is reached only through its bytes, and the windows show the undecodable
// bytes as U+FFFD.
bool representable(const std::filesystem::path& path);

// Whether `path`, taken from a text, lost bytes on its way: it holds U+FFFD and names no file,
// so its file can only have had a name that the file system's encoding cannot show.
bool lostUndecodableBytes(const QString& path);

// The files named on the command line, byte for byte as the system passed them: argv after
// QApplication took its own options out.
std::vector<std::filesystem::path> commandLineFiles(int argc, char** argv);

// The local file a URL names (a drop's), its name's bytes taken from the URL's percent-encoding
// as they are; nothing for a URL that is no local file.
std::optional<std::filesystem::path> localFile(const QUrl& url);

}  // namespace velmora
