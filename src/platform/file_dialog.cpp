// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <algorithm>
#include <deque>
#include <optional>

namespace velmora {

namespace {

// One queued answer: a path, the offered name (an empty path), or nothing for a cancel; and
// the file type picked (-1: the one the dialog starts on).
struct Answer {
    std::optional<QString> path;
    int filter = -1;
    QStringList more = {};  // further files confirmed with `path`
    bool subfolders = {};
};

std::deque<Answer>& script() {
    static std::deque<Answer> answers;
    return answers;
}

QStringList& offeredFilters() {
    static QStringList filters;
    return filters;
}

int& startFilter() {
    static int filter = -1;
    return filter;
}

QString& proposed() {
    static QString name;
    return name;
}

QString& started() {
    static QString folder;
    return folder;
}

int& shown() {
    static int count = 0;
    return count;
}

}  // namespace

void FileDialog::scriptNext(const QString& path, int filter) {
    script().push_back({path, filter});
}
void FileDialog::scriptCancel() {
    script().push_back({std::nullopt});
}
void FileDialog::scriptNextFiles(const QStringList& paths) {
    script().push_back({paths.value(0), -1, paths.mid(1)});
}
void FileDialog::scriptFolder(const QString& folder, bool subfolders) {
    script().push_back({folder, -1, {}, subfolders});
}

std::optional<std::pair<QString, bool>> FileDialog::chooseFolder(QWidget* parent,
                                                                 const QString& start) {
    ++shown();
    started() = start;
    if (!script().empty()) {
        const Answer scripted = script().front();
        script().pop_front();
        if (!scripted.path || scripted.path->isEmpty()) return std::nullopt;
        return std::pair{*scripted.path, scripted.subfolders};
    }
    // The platform's own dialog cannot take a check box: this one is Qt's.
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setDirectory(start);
    auto* subfolders = new QCheckBox(QStringLiteral("Include subfolders"), &dialog);
    subfolders->setObjectName(QStringLiteral("IncludeSubfolders"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(subfolders, grid->rowCount(), 0, 1, -1);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::pair{dialog.selectedFiles().constFirst(), subfolders->isChecked()};
}

void FileDialog::scriptAcceptOffered(int filter) {
    script().push_back({QString(), filter});
}
void FileDialog::clearScript() {
    script().clear();
}
int FileDialog::scriptedLeft() {
    return static_cast<int>(script().size());
}
QString FileDialog::lastProposedName() {
    return proposed();
}
QString FileDialog::lastStartFolder() {
    return started();
}
QStringList FileDialog::lastFilters() {
    return offeredFilters();
}
int FileDialog::lastStartFilter() {
    return startFilter();
}
int FileDialog::shownCount() {
    return shown();
}

bool FileDialog::showOpen(QWidget* parent) {
    return show(parent, Mode::Open);
}
bool FileDialog::showSave(QWidget* parent) {
    return show(parent, Mode::Save);
}

void FileDialog::setFilters(QList<Filter> filters, int selected) {
    filters_ = std::move(filters);
    selectedFilter_ = filters_.isEmpty() ? -1 : std::clamp<int>(selected, 0, filters_.size() - 1);
}

void FileDialog::acceptOpened(const QString& path) {
    accept(path, Mode::Open);
}

void FileDialog::setFileName(const QString& name) {
    fileName_ = name;
    fileTitle_ = QFileInfo(name).fileName();
    fileNames_ = name.isEmpty() ? QStringList() : QStringList{name};
}

QString FileDialog::startFolder() const {
    const QFileInfo held(fileName_);
    if (held.isAbsolute()) return held.absolutePath();
    return keepsOwnFolder_ && !ownFolder_.isEmpty() ? ownFolder_ : initialFolder_;
}

QString FileDialog::offeredName() const {
    return QFileInfo(fileName_).fileName();
}

bool FileDialog::show(QWidget* parent, Mode mode) {
    proposed() = fileName_;
    started() = startFolder();
    ++shown();
    QStringList filterTexts;
    for (const Filter& filter : filters_) filterTexts << filter.text;
    offeredFilters() = filterTexts;
    startFilter() = selectedFilter();

    std::optional<QString> answer;
    QStringList more;
    int chosenFilter = selectedFilter_;
    if (!script().empty()) {
        const Answer scripted = script().front();
        script().pop_front();
        answer = scripted.path;
        more = scripted.more;
        if (answer && answer->isEmpty() && !fileName_.isEmpty())
            answer = QDir(startFolder()).filePath(offeredName());
        if (scripted.filter >= 0 && scripted.filter < filters_.size())
            chosenFilter = scripted.filter;
    } else {
        QFileDialog dialog(parent);
        dialog.setDirectory(startFolder());
        if (!fileName_.isEmpty()) dialog.selectFile(offeredName());
        if (mode == Mode::Open) {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFiles);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
        }
        if (!filterTexts.isEmpty()) {
            dialog.setNameFilters(filterTexts);
            dialog.selectNameFilter(filterTexts.at(selectedFilter_));
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            answer = dialog.selectedFiles().constFirst();
            more = dialog.selectedFiles().mid(1);
            if (const int picked = filterTexts.indexOf(dialog.selectedNameFilter()); picked >= 0)
                chosenFilter = picked;
        }
    }
    if (!answer || answer->isEmpty()) return false;
    const bool typeChanged = chosenFilter != selectedFilter_;
    selectedFilter_ = chosenFilter;
    accept(*answer, mode, typeChanged);
    for (const QString& path : more)
        fileNames_ << QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return true;
}

QString FileDialog::withChosenExtension(const QString& path) const {
    const QString suffix = QFileInfo(path).suffix();
    const QString& chosen = filters_.at(selectedFilter_).extension;
    if (suffix.isEmpty() || chosen.isEmpty() || suffix.compare(chosen, Qt::CaseInsensitive) == 0)
        return path;
    for (const Filter& other : filters_)
        if (suffix.compare(other.extension, Qt::CaseInsensitive) == 0)
            return path.left(path.size() - suffix.size()) + chosen;
    return path;
}

void FileDialog::accept(QString path, Mode mode, bool typeChanged) {
    QFileInfo info(path);
    // A file type picked in the dialog gives its extension where no default one is set.
    const QString extension = !defaultExtension_.isEmpty() || !typeChanged
                                  ? defaultExtension_
                                  : filters_.at(selectedFilter_).extension;
    if (mode == Mode::Save && !extension.isEmpty() && info.suffix().isEmpty() &&
        !path.endsWith(QLatin1Char('.'))) {
        path += QLatin1Char('.') + extension;
        info.setFile(path);
    }
    if (mode == Mode::Save && !filters_.isEmpty()) {
        path = withChosenExtension(path);
        info.setFile(path);
    }
    fileName_ = QDir::toNativeSeparators(info.absoluteFilePath());
    fileTitle_ = info.fileName();
    fileNames_ = QStringList{fileName_};
    if (keepsOwnFolder_ && mode == Mode::Save) {
        ownFolder_ = info.absolutePath();
        return;
    }
    // Every exporter writes into the current working folder: beside the chosen file.
    QDir::setCurrent(info.absolutePath());
}

}  // namespace velmora
