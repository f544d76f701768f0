#include "platform/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <deque>
#include <optional>

namespace velmora {

namespace {

// One queued answer: a path, the offered name (an empty path), or nothing for a cancel.
std::deque<std::optional<QString>>& script() {
    static std::deque<std::optional<QString>> answers;
    return answers;
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

void FileDialog::scriptNext(const QString& path) {
    script().emplace_back(path);
}
void FileDialog::scriptCancel() {
    script().emplace_back(std::nullopt);
}
void FileDialog::scriptAcceptOffered() {
    script().emplace_back(QString());
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
int FileDialog::shownCount() {
    return shown();
}

bool FileDialog::showOpen(QWidget* parent) {
    return show(parent, Mode::Open);
}
bool FileDialog::showSave(QWidget* parent) {
    return show(parent, Mode::Save);
}

void FileDialog::setFileName(const QString& name) {
    fileName_ = name;
    fileTitle_ = QFileInfo(name).fileName();
}

QString FileDialog::startFolder() const {
    const QFileInfo held(fileName_);
    return held.isAbsolute() ? held.absolutePath() : initialFolder_;
}

QString FileDialog::offeredName() const {
    return QFileInfo(fileName_).fileName();
}

bool FileDialog::show(QWidget* parent, Mode mode) {
    proposed() = fileName_;
    started() = startFolder();
    ++shown();

    std::optional<QString> answer;
    if (!script().empty()) {
        answer = script().front();
        script().pop_front();
        if (answer && answer->isEmpty() && !fileName_.isEmpty())
            answer = QDir(startFolder()).filePath(offeredName());
    } else {
        QFileDialog dialog(parent);
        dialog.setDirectory(startFolder());
        if (!fileName_.isEmpty()) dialog.selectFile(offeredName());
        if (mode == Mode::Open) {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            answer = dialog.selectedFiles().constFirst();
    }
    if (!answer || answer->isEmpty()) return false;
    accept(*answer, mode);
    return true;
}

void FileDialog::accept(QString path, Mode mode) {
    QFileInfo info(path);
    if (mode == Mode::Save && !defaultExtension_.isEmpty() && info.suffix().isEmpty() &&
        !path.endsWith(QLatin1Char('.'))) {
        path += QLatin1Char('.') + defaultExtension_;
        info.setFile(path);
    }
    fileName_ = QDir::toNativeSeparators(info.absoluteFilePath());
    fileTitle_ = info.fileName();
    // Every exporter writes into the current working folder: beside the chosen file.
    QDir::setCurrent(info.absolutePath());
}

}  // namespace velmora
