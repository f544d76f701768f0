// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/export_folder.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <deque>
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

namespace {

std::deque<std::optional<QString>>& scriptedFolders() {
    static std::deque<std::optional<QString>> answers;
    return answers;
}

QString currentFolder() {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    return ec ? QString() : shownPath(folder);
}

}  // namespace

void scriptExportFolder(std::optional<QString> folder) {
    scriptedFolders().push_back(std::move(folder));
}

QString chooseExportFolder(QWidget* parent) {
    const QString current = currentFolder();
    QString chosen;
    if (!scriptedFolders().empty()) {
        chosen = scriptedFolders().front().value_or(QString());
        scriptedFolders().pop_front();
    } else {
        chosen = QFileDialog::getExistingDirectory(parent, QStringLiteral("Export Folder"),
                                                   current.isEmpty() ? QDir::homePath() : current);
    }
    if (chosen.isEmpty()) return {};
    if (!QDir::setCurrent(chosen))
        return QStringLiteral("Cannot export into %1: it is no folder this program can use")
            .arg(chosen);
    return exportFolderText();
}

QString exportFolderText() {
    const QString folder = currentFolder();
    return folder.isEmpty() ? QStringLiteral("The export folder is gone")
                            : QStringLiteral("Exports go to %1").arg(folder);
}

QString exportFolderHint() {
    return QStringLiteral(". ") + exportFolderText() +
           QStringLiteral(": choose another folder with File > Export Folder...");
}

}  // namespace velmora
