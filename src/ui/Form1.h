// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "export/main_exports.h"
#include "platform/file_dialog.h"
#include "records/working_files.h"
#include "ui/export_choices.h"
#include "ui/export_reports.h"
#include "ui/recent_logs.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;

namespace velmora {

class StatusLine;
class Survey;
struct LoadCounts;
struct SkippedLog;
struct SurveyAddResult;

// The main window: the menu bar every command starts from, the counts of the loaded source
// log and the status line Label1. It is Idle (no log) or Loaded (output1 holds the log); the
// enabled menu items and the visible controls are the state.
//
//   Object             Shows
//   Form1              caption "Velmora 2004"; while Loaded " - " and the log's file title
//   Picture1           the intro banner, while Idle
//   Label16, Label14   "Source File Type", the source type text (blue)
//   Label2, Label3     "Total Number Of Source Entries ", the total count
//   Label12, Label13   "Non-GPS Dropped Entries", the dropped count (red)
//   Label4, Label5     "WEP OFF Entries", the WEP off count
//   Label6, Label7     "WEP ON Entries", the WEP on count
//   Label8, Label9     "AP Locatiions", the infrastructure count
//   Label10, Label11   "Ad-Hoc Locations", the ad-hoc count
//   Label1             the status line: the last command's report
//   ProgressBar1       load progress, while a load runs
//   CommonDialog1      the open dialog (not visible); holds the loaded log's path and title
// Label2 to Label14 and Label16 are the statistics block, shown while Loaded; there is no
// Label15. The Label enum below names each number. The menus' object names are File
// (Openoptn, Convertall, CloseFile, Exit), QuickSort (Sort1, Sort2, ShortPreamble, ADHOC),
// advanced (APName, MACAddress, AdvanceCriteria), view (Map) and help (content, About).
//
// The File menu also holds, before Exit, the export choices (export_choices.h), always
// enabled and kept between runs: the submenu ExportFormat ("Export Format") of radio items
// Format_st, Format_kml, Format_gpx, Format_geojson, Format_csv, and the checkable
// OnePinPerAP ("One Pin Per Access Point"). Convert All and the quick sorts write with them;
// the Advanced windows start their save dialogs on the chosen format (exportStyle()).
//
// The View menu ("View", after Advanced) holds Map ("Map", Ctrl+M): like Quick Sort and
// Advanced it is enabled while Loaded only.
//
// Around them, as a desktop program: a log opens also from the command line (openFromCommandLine)
// and by dropping it on the window while Idle; File > "Recent Logs" (RecentLogs, after Open
// File, enabled like it) lists the last logs opened (RecentLog1 ... RecentLog8; a missing one
// disabled); the status bar (statusText, and the openFolder link after an export) tells what a
// command wrote or why it failed, beside Label1's texts; the client area's context menu holds
// "Copy Counts" (CopyCounts, enabled while Loaded).
//
// Attaching the other windows. Form1 does not know Form2, Form3, Form4, frmAbout or the map
// window: its menu items run the hooks onAPName, onMACAddress, onAdvanceCriteria, onMap,
// onContent and onAbout below, which do nothing while unset. Close File runs every
// closeAdvancedWindows hook, in order, before it deletes output1; each unloads its window (an
// Advanced window or the map; shown, hidden or never opened).
// Exit and window close run them too; logs added to the survey run every reloadWindows hook.
// attachProgramWindows() (program_windows.h) sets them and hands each Advanced window the
// paths it works with (workingFiles(), vendorFolder()). The windows are children of Form1 so
// they close with it.
class Form1 : public QMainWindow {
    Q_OBJECT

  public:
    // The labels by number: LabelN is the label's object name.
    enum Label : int {
        kStatusLine = 1,
        kTotalCaption = 2,
        kTotalCount = 3,
        kWepOffCaption = 4,
        kWepOffCount = 5,
        kWepOnCaption = 6,
        kWepOnCount = 7,
        kInfrastructureCaption = 8,
        kInfrastructureCount = 9,
        kAdHocCaption = 10,
        kAdHocCount = 11,
        kDroppedCaption = 12,
        kDroppedCount = 13,
        kSourceType = 14,
        kSourceTypeCaption = 16,
    };

    // The application folder holds output1, output2, output1.extras, output1.lock and
    // vlident.txt; tests pass a folder of their own. The program passes workingFolder() of the
    // executable's folder and keeps vlident.txt beside the executable (vendorFolder()): the two
    // differ for an installed copy whose folder the user cannot write.
    explicit Form1(QWidget* parent = nullptr);
    explicit Form1(const QString& applicationFolder, QWidget* parent = nullptr);
    ~Form1() override;

    std::function<void()> onAPName;
    std::function<void()> onMACAddress;
    std::function<void()> onAdvanceCriteria;
    std::function<void()> onMap;
    std::function<void()> onContent;
    std::function<void()> onAbout;
    std::vector<std::function<void()>> closeAdvancedWindows;
    // Run once logs are added to the survey: each brings its window (if loaded) up to date.
    std::vector<std::function<void()>> reloadWindows;
    // Brings another copy of the program on this working folder to the front; while set, the
    // status bar offers it ("Show Other Copy") when that copy holds the working files.
    std::function<void()> onShowOtherCopy;

    QString applicationFolder() const { return applicationFolder_; }
    // The folder vlident.txt is read from: the application folder unless set apart.
    QString vendorFolder() const {
        return vendorFolder_.isEmpty() ? applicationFolder_ : vendorFolder_;
    }
    void setVendorFolder(const QString& folder) { vendorFolder_ = folder; }
    WorkingFiles workingFiles() const;
    // CommonDialog1: while Loaded it holds the source log's full path and file title.
    FileDialog& commonDialog1() { return commonDialog1_; }
    // Whether a source log is loaded (this copy holds output1).
    bool isLoaded() const;
    // How the exports are written as the File menu's choices stand: the format, one pin per
    // access point, and the loaded log's file name for a KML Document (no vendor list).
    ExportStyle exportStyle() const;

    // Opens `path` as File > Open File does when the user chooses it in the dialog: the same
    // checks, reports and state rules (nothing happens while Loaded). Returns whether it loaded.
    bool openLog(const QString& path);
    // The same for a path as the file system names it, whose bytes need not be valid in its
    // encoding (a name written on another system): the log is read through these bytes.
    bool openLog(const std::filesystem::path& path);
    // The logs named on the command line (commandLineFiles()): one is opened as openLog() does;
    // more than one is reported and none is opened.
    void openFromCommandLine(const std::vector<std::filesystem::path>& logs);
    // Shows an export's outcome on the status bar: what was written with a link to its folder,
    // or the failure.
    void showExportOutcome(const ExportOutcome& outcome);
    // The six counts as text, a caption and its number on each line.
    QString countsText() const;
    // Says on the status bar that another copy runs on this working folder, with a link that
    // brings it forward (onShowOtherCopy).
    void offerOtherCopy();
    // Shows `text` on the status bar without a link; `path`, a file or folder it names, is
    // shortened in its folder's middle where the line is too narrow.
    void showStatus(const QString& text, const QString& path = {});

    // A survey of several logs (form1_survey.cpp). openLogs: while Idle, the logs as one survey,
    // reporting `unreadable` (folders found unreadable) with what else is skipped; one log alone
    // with nothing to report goes to openLog(). addLogs: while Loaded, adds them to the survey.
    // Both take each readable log whole; a folder among them gives its files, subfolders
    // included.
    bool openLogs(const std::vector<std::filesystem::path>& logs,
                  std::vector<SkippedLog> unreadable = {});
    bool addLogs(const std::vector<std::filesystem::path>& logs);
    // While Idle, the folder's logs (with its subfolders' when `recursive`) as Open Folder opens
    // them; the folder is then listed in Recent Logs.
    bool openFolder(const std::filesystem::path& folder, bool recursive);
    const Survey& survey() const { return *survey_; }

  public slots:
    // The menu commands. A command whose menu item or menu is disabled does nothing.
    void openFile();
    void openFolder();   // File > Open Folder... (OpenFolder), enabled while Idle
    void addLogsItem();  // File > Add Logs... (AddLogs), enabled while Loaded
    void convertAll();
    void closeFile();
    void exitProgram();

  signals:
    // The program has ended: output1 is gone and the windows are closing.
    void ended();
    // "One Pin Per Access Point" was switched.
    void perAccessPointChanged(bool perAccessPoint);
    // "Pin at Weighted Centre of Sightings" was switched.
    void apPositionChanged(ApPosition position);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The open dialogs' file types.
    static QList<FileDialog::Filter> logFilters();
    void buildControls();
    void buildMenus();
    QAction* addItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                     std::function<void()> command);
    QMenu* addMenu(const char* name, const QString& text);
    void addSeparator(QMenu* menu, const char* name);
    void addExportChoices();
    void buildStatusBar();
    void buildRecentLogs();
    void fillRecentLogs();
    void setStatusText(const QString& text, const QString& folderLink = {},
                       const QString& path = {}, const QString& details = {});
    bool loadNamedLog(const QString& path);
    bool loadChosenLog();
    void runExport(MainExport kind);
    void setLoadedMenus(bool loaded);
    void addSurveyItems();
    void showCounts(const LoadCounts& counts);
    bool showSurvey(const SurveyAddResult& added, bool opened);
    // Adds the logs among `paths` (a folder gives its files) to the survey under the busy
    // cursor; what could not be read, `unreadable` first, is in the result with what the
    // survey skipped.
    SurveyAddResult addToSurvey(const std::vector<std::filesystem::path>& paths,
                                std::vector<SkippedLog> unreadable = {});
    void setStatisticsVisible(bool visible);
    bool takeWorkingFileLock();
    void endProgram();
    QLabel* label(Label number) const { return labels_.at(number); }

    QString applicationFolder_;
    QString vendorFolder_;
    FileDialog commonDialog1_;
    // The log chosen last, as the file system names it: loaded, read and named in exports
    // through these bytes, which commonDialog1_'s text may not hold.
    std::filesystem::path log_;
    std::unique_ptr<WorkingFolderLock> lock_;
    std::unique_ptr<Survey> survey_;
    bool ended_ = false;
    ExportChoices exportChoices_;
    RecentLogs recent_;

    std::array<QLabel*, kSourceTypeCaption + 1> labels_{};  // by Label number
    QLabel* picture1_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* quickSortMenu_ = nullptr;
    QMenu* advancedMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* openoptn_ = nullptr;
    QAction* convertall_ = nullptr;
    QAction* closeFile_ = nullptr;
    QAction* apName_ = nullptr;
    QAction* macAddress_ = nullptr;
    QAction* openFolderItem_ = nullptr;
    QAction* addLogs_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QAction* copyCounts_ = nullptr;
    StatusLine* statusText_ = nullptr;
    QLabel* openFolder_ = nullptr;
};

}  // namespace velmora
