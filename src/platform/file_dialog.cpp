#include "platform/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <deque>
#include <optional>

namespace velmora {

namespace {

// One queued answer: a path, or nothing for a cancel.
std::deque<std::optional<QString>>& script() {
    static std::deque<std::optional<QString>> answers;
    return answers;
}

QString& proposed() {
    static QString name;
    return name;
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
void FileDialog::clearScript() {
    script().clear();
}
int FileDialog::scriptedLeft() {
    return static_cast<int>(script().size());
}
QString FileDialog::lastProposedName() {
    return proposed();
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

bool FileDialog::show(QWidget* parent, Mode mode) {
    proposed() = fileName_;
    ++shown();

    std::optional<QString> answer;
    if (!script().empty()) {
        answer = script().front();
        script().pop_front();
    } else {
        QFileDialog dialog(parent);
        const QFileInfo held(fileName_);
        dialog.setDirectory(held.isAbsolute() ? held.absolutePath() : initialFolder_);
        if (!fileName_.isEmpty()) dialog.selectFile(held.fileName());
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
