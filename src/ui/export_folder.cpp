// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/export_folder.h"

#include <QFile>
#include <QFileInfo>
#include <string>
#include <system_error>

#include "advanced/file_name.h"
#include "io/file_error.h"
#include "platform/file_dialog.h"
#include "ui/file_names.h"

namespace velmora {

std::filesystem::path exportFolder() {
    return std::filesystem::current_path();
}

std::filesystem::path chosenExportPath(const FileDialog& dialog) {
    const std::string title = QFile::encodeName(dialog.fileTitle()).toStdString();
    if (!isPlainFileName(title)) throw FileError(corePath(dialog.fileName()), "Not a file name");
    // The dialog cannot make a folder current that was removed meanwhile: the current folder
    // is then another one, where the file must not land unasked.
    const std::filesystem::path folder = corePath(QFileInfo(dialog.fileName()).absolutePath());
    const std::filesystem::path current = std::filesystem::current_path();
    std::error_code ec;
    if (!std::filesystem::equivalent(folder, current, ec))
        throw FileError(folder / title, ec ? ec.message() : "Not the current folder");
    return current / title;
}

}  // namespace velmora
