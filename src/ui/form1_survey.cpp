// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's survey of several logs: File > Open Folder..., File > Add Logs..., several
// files chosen or dropped at once.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <system_error>

#include "io/file_error.h"
#include "loader/source_loader.h"
#include "loader/survey.h"
#include "records/ascii.h"
#include "ui/Form1.h"
#include "ui/busy_cursor.h"
#include "ui/file_names.h"

namespace velmora {

namespace {

// The files the paths name, a folder's with its subfolders'; what cannot be read goes into
// `unreadable`.
std::vector<std::filesystem::path> expand(const std::vector<std::filesystem::path>& paths,
                                          std::vector<SkippedLog>& unreadable) {
    std::vector<std::filesystem::path> files;
    for (const auto& path : paths) {
        std::error_code ec;
        if (!std::filesystem::is_directory(path, ec)) {
            files.push_back(path);
            continue;
        }
        try {
            const auto found = filesInFolder(path, true, unreadable);
            files.insert(files.end(), found.begin(), found.end());
        } catch (const FileError& e) {
            unreadable.push_back({path, e.reason()});
        }
    }
    return files;
}

// A number Velmora adds to what it shows, its digits grouped: "124,931".
QString grouped(std::uint64_t n) {
    return QString::fromStdString(groupedDigits(n));
}

// How many skipped logs the status line names before it counts the rest: each may take a line.
constexpr std::size_t kNamedSkips = 3;

// The survey's logs, one a line with type and counts: the statistics block's tooltip. Years of
// logs would make it taller than any screen: past kListedLogs, one line says how many more.
constexpr std::size_t kListedLogs = 30;
QString logList(const Survey& survey) {
    QStringList lines;
    const std::vector<SurveyLog>& logs = survey.logs();
    for (std::size_t k = 0; k < logs.size() && k < kListedLogs; ++k)
        lines << QStringLiteral("%1: %2, %3 kept, %4 dropped%5")
                     .arg(shownPath(logs[k].path),
                          QString::fromLatin1(sourceTypeText(logs[k].type)))
                     .arg(grouped(logs[k].counts.total), grouped(logs[k].counts.dropped))
                     .arg(logs[k].duplicates
                              ? QStringLiteral(", %1 duplicates").arg(grouped(logs[k].duplicates))
                              : QString());
    if (logs.size() > kListedLogs)
        lines << QStringLiteral("and %1 more logs").arg(grouped(logs.size() - kListedLogs));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

void Form1::addSurveyItems() {
    openFolderItem_ = addItem(fileMenu_, "OpenFolder", QStringLiteral("Open Folder..."), {},
                              [this] { openFolder(); });
    addLogs_ =
        addItem(fileMenu_, "AddLogs", QStringLiteral("Add Logs..."), {}, [this] { addLogsItem(); });
}

void Form1::showCounts(const LoadCounts& c) {
    label(kTotalCount)->setText(QString::number(c.total));
    label(kWepOffCount)->setText(QString::number(c.wepOff));
    label(kWepOnCount)->setText(QString::number(c.wepOn));
    label(kInfrastructureCount)->setText(QString::number(c.infrastructure));
    label(kAdHocCount)->setText(QString::number(c.adHoc));
    label(kDroppedCount)->setText(QString::number(c.dropped));
    setStatisticsVisible(true);
    picture1_->hide();
}

void Form1::openFolder() {
    if (!openFolderItem_->isEnabled()) return;
    const auto chosen = FileDialog::chooseFolder(this, recent_.startFolder());
    if (chosen) openFolder(corePath(chosen->first), chosen->second);
}

bool Form1::openFolder(const std::filesystem::path& folder, bool recursive) {
    try {
        std::vector<SkippedLog> unreadable;
        const auto files = filesInFolder(folder, recursive, unreadable);
        if (!openLogs(files, std::move(unreadable))) return false;
    } catch (const FileError& e) {
        setStatusText(QString::fromLocal8Bit(e.what()));
        return false;
    }
    // Kept in Recent Logs, to be opened again in one step (a name the settings file cannot
    // hold would come back naming another folder).
    if (representable(folder)) {
        recent_ = loadRecentLogs();
        recent_.addFolder({shownPath(folder), recursive});
        saveRecentLogs(recent_);
        fillRecentLogs();
    }
    return true;
}

void Form1::addLogsItem() {
    if (!addLogs_->isEnabled()) return;
    FileDialog dialog;
    dialog.setInitialFolder(QFileInfo(shownPath(log_)).absolutePath());
    dialog.setFilters(logFilters(), 0);
    const QString current = QDir::currentPath();
    if (!dialog.showOpen(this)) return;
    // The exports still go beside the first log.
    QDir::setCurrent(current);
    std::vector<std::filesystem::path> logs;
    for (const QString& name : dialog.fileNames()) logs.push_back(corePath(name));
    addLogs(logs);
}

SurveyAddResult Form1::addToSurvey(const std::vector<std::filesystem::path>& paths,
                                   std::vector<SkippedLog> unreadable) {
    const auto logs = expand(paths, unreadable);
    SurveyAddResult added;
    {
        const BusyCursor busy;
        added = survey_->add(logs);
    }
    added.failed.insert(added.failed.begin(), unreadable.begin(), unreadable.end());
    return added;
}

bool Form1::openLogs(const std::vector<std::filesystem::path>& paths,
                     std::vector<SkippedLog> unreadable) {
    if (!openoptn_->isEnabled()) return false;
    if (paths.size() == 1 && unreadable.empty() && !std::filesystem::is_directory(paths.front()))
        return openLog(paths.front());
    if (!takeWorkingFileLock()) return false;
    survey_->clear();
    if (!showSurvey(addToSurvey(paths, std::move(unreadable)), true)) {
        lock_->unlock();
        return false;
    }
    return true;
}

bool Form1::addLogs(const std::vector<std::filesystem::path>& paths) {
    if (!isLoaded()) return false;
    return showSurvey(addToSurvey(paths), false);
}

bool Form1::showSurvey(const SurveyAddResult& added, bool opened) {
    // What was left out, in the status bar after what was done: files that are no logs counted,
    // the first few logs or folders that could not be read named with their reasons and the
    // rest counted; its tooltip then lists them one a line, as the log list does.
    QString skipped;
    QStringList reasons;
    if (const auto n = added.notLogs.size(); n > 0)
        skipped += n == 1 ? QStringLiteral("; 1 file skipped: not a survey log")
                          : QStringLiteral("; %1 files skipped: not survey logs").arg(grouped(n));
    const std::vector<SkippedLog>& failed = added.failed;
    for (std::size_t k = 0; k < failed.size() && k < kListedLogs; ++k) {
        const QString item = shownPath(failed[k].path) + QStringLiteral(": ") +
                             QString::fromLocal8Bit(failed[k].reason);
        if (k < kNamedSkips) skipped += QStringLiteral("; skipped ") + item;
        reasons << item;
    }
    if (failed.size() > kNamedSkips)
        skipped += QStringLiteral("; %1 more skipped").arg(grouped(failed.size() - kNamedSkips));
    if (failed.size() > kListedLogs)
        reasons << QStringLiteral("and %1 more").arg(grouped(failed.size() - kListedLogs));
    const QString details = failed.size() > kNamedSkips
                                ? QStringLiteral("Skipped:\n") + reasons.join(QLatin1Char('\n'))
                                : QString();
    if (added.status != LoadStatus::Loaded) {
        // The survey is as it was.
        if (opened) label(kStatusLine)->setText(QString::fromLatin1(added.report.c_str()));
        setStatusText((added.reason.empty() ? QStringLiteral("No survey log added")
                                            : QString::fromLocal8Bit(added.reason)) +
                          skipped,
                      {}, {}, details);
        return false;
    }
    const Survey& survey = *survey_;
    const SurveyLog& first = survey.logs().front();
    if (opened) {
        log_ = first.path;
        commonDialog1_.acceptOpened(shownPath(first.path));
        label(kStatusLine)->setText(QString::fromLatin1(added.report.c_str()));
        label(kSourceType)->setText(QString::fromLatin1(sourceTypeText(first.type)));
        setLoadedMenus(true);
    }
    // A window needs one log whose format gives what it lists.
    bool mac = false, apName = false;
    for (const SurveyLog& log : survey.logs()) {
        mac = mac || log.type != SourceType::SummaryExport;
        apName = apName || log.type != SourceType::TextExport;
    }
    macAddress_->setEnabled(mac);
    apName_->setEnabled(apName);
    const QString title = QString::fromStdString(surveyTitle(survey.logs()));
    setWindowTitle(QStringLiteral("Velmora 2004 - ") + title);
    showCounts(survey.counts());
    centralWidget()->setToolTip(logList(survey));
    QString text = (opened ? QStringLiteral("Opened ") : QStringLiteral("Added to the survey; "));
    text += title;
    if (const auto d = survey.duplicates(); d > 0)
        text += QStringLiteral("; %1 duplicate sightings skipped").arg(grouped(d));
    if (const auto r = survey.counts().otherRadios; r > 0)
        text += QStringLiteral("; %1 other radio entries skipped").arg(grouped(r));
    setStatusText(text + skipped, {}, {}, details);
    if (!opened)
        for (const auto& reload : reloadWindows)
            if (reload) reload();
    return true;
}

}  // namespace velmora
