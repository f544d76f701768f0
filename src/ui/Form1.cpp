// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form1.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "export/styled_export.h"
#include "loader/source_loader.h"
#include "loader/survey.h"
#include "platform/beep.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "platform/working_folder.h"
#include "records/ascii.h"
#include "records/vendor_list.h"
#include "ui/artwork.h"
#include "ui/busy_cursor.h"
#include "ui/export_folder.h"
#include "ui/file_names.h"
#include "ui/font_fitting.h"
#include "ui/latin1_text.h"
#include "ui/status_line.h"
#include "ui/twips.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("Velmora 2004");

constexpr int kLabelHeight = px(255);

enum class Colour { Default, Blue, Red, Black };

struct LabelLayout {
    Form1::Label number;
    int left, top, width;  // twips
    const char* text;
    Colour colour;
};

// Caption labels reach up to the value column, and the status line runs under the progress
// bar, which shows only while a load runs: the texts fit with the fonts of every platform.
constexpr LabelLayout kLabels[] = {
    {Form1::kSourceTypeCaption, 840, 120, 1680, "Source File Type", Colour::Blue},
    {Form1::kSourceType, 2520, 120, 2295, "", Colour::Blue},
    {Form1::kTotalCaption, 840, 480, 2520, "Total Number Of Source Entries ", Colour::Default},
    {Form1::kTotalCount, 3360, 480, 1335, "0", Colour::Black},
    {Form1::kDroppedCaption, 840, 720, 2520, "Non-GPS Dropped Entries", Colour::Red},
    {Form1::kDroppedCount, 3360, 720, 1335, "0", Colour::Red},
    {Form1::kWepOffCaption, 840, 1080, 2520, "WEP OFF Entries", Colour::Black},
    {Form1::kWepOffCount, 3360, 1080, 1335, "0", Colour::Black},
    {Form1::kWepOnCaption, 840, 1320, 2520, "WEP ON Entries", Colour::Black},
    {Form1::kWepOnCount, 3360, 1320, 1335, "0", Colour::Black},
    {Form1::kInfrastructureCaption, 840, 1680, 2520, "AP Locatiions", Colour::Black},
    {Form1::kInfrastructureCount, 3360, 1680, 1335, "0", Colour::Black},
    {Form1::kAdHocCaption, 840, 1920, 2520, "Ad-Hoc Locations", Colour::Black},
    {Form1::kAdHocCount, 3360, 1920, 1335, "0", Colour::Black},
    {Form1::kStatusLine, 120, 2400, 5175, "", Colour::Default},
};

// The value labels of the counts: "0" while no log is loaded.
constexpr Form1::Label kCounts[] = {Form1::kTotalCount, Form1::kWepOffCount,
                                    Form1::kWepOnCount, Form1::kInfrastructureCount,
                                    Form1::kAdHocCount, Form1::kDroppedCount};

// The status bar link that brings another copy forward.
const QString kOtherCopyLink = QStringLiteral("#other-copy");

// The local files a drop carries, as the file system names them; nothing when it carries
// anything else.
std::vector<std::filesystem::path> droppedFiles(const QMimeData* data) {
    std::vector<std::filesystem::path> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        std::optional<std::filesystem::path> file = localFile(url);
        if (!file) return {};
        files.push_back(std::move(*file));
    }
    return files;
}

}  // namespace

// .ns1 is the binary log (some scanners save the text export under it too), .csv a WiGLE CSV,
// .gz any of them saved compressed (a phone's WiGLE CSV often is); the loader tells
// them by their first bytes.
QList<FileDialog::Filter> Form1::logFilters() {
    return {
        {QStringLiteral("Survey logs (*.txt *.TXT *.ns1 *.NS1 *.csv *.CSV *.gz *.GZ)"), QString()},
        {QStringLiteral("All files (*)"), QString()}};
}

Form1::Form1(QWidget* parent)
    : Form1(workingFolder(QCoreApplication::applicationDirPath()), parent) {
    vendorFolder_ = QCoreApplication::applicationDirPath();
}

Form1::Form1(const QString& applicationFolder, QWidget* parent)
    : QMainWindow(parent),
      applicationFolder_(applicationFolder),
      lock_(std::make_unique<WorkingFolderLock>(WorkingFiles{corePath(applicationFolder)})),
      survey_(std::make_unique<Survey>(WorkingFiles{corePath(applicationFolder)})) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setWindowIcon(applicationIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    recent_ = loadRecentLogs();
    buildControls();
    buildMenus();
    buildStatusBar();
    setAcceptDrops(true);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));

    // Start: the status line is empty; only Open File, Exit and Help can be chosen.
    label(kStatusLine)->setText(QString());
    setLoadedMenus(false);
}

Form1::~Form1() = default;

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(5415), px(2700));
    setCentralWidget(client);

    picture1_ = new QLabel(client);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture1_->setLineWidth(2);
    picture1_->setPixmap(bannerPixmap());
    picture1_->setGeometry(px(240), px(480), px(4935), px(1545));

    for (const LabelLayout& l : kLabels) {
        auto* w = new QLabel(QString::fromLatin1(l.text), client);
        w->setObjectName(QStringLiteral("Label%1").arg(l.number));
        w->setGeometry(px(l.left), px(l.top), px(l.width), kLabelHeight);
        if (l.colour != Colour::Default) {
            const QColor colour = l.colour == Colour::Blue  ? QColor(0, 0, 255)
                                  : l.colour == Colour::Red ? QColor(255, 0, 0)
                                                            : QColor(0, 0, 0);
            QPalette palette = w->palette();
            palette.setColor(QPalette::WindowText, colour);
            w->setPalette(palette);
        }
        labels_.at(l.number) = w;
    }
    setStatisticsVisible(false);

    progressBar1_ = new QProgressBar(client);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setRange(0, 100);
    progressBar1_->setGeometry(px(1920), px(2400), px(3375), px(255));
    progressBar1_->hide();

    fitFont(client,
            {{label(kSourceType), QString::fromLatin1(sourceTypeText(SourceType::SummaryExport))}});
}

QMenu* Form1::addMenu(const char* name, const QString& text) {
    QMenu* menu = menuBar()->addMenu(text);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* Form1::addItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                        std::function<void()> command) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    // A disabled menu disables its items without touching their own setting: their shortcuts
    // reach this point and stop here.
    connect(action, &QAction::triggered, this, [menu, action, command = std::move(command)] {
        if (menu->menuAction()->isEnabled() && action->isEnabled()) command();
    });
    return action;
}

void Form1::addSeparator(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

void Form1::buildMenus() {
    const auto hook = [](std::function<void()>& f) {
        return [&f] {
            if (f) f();
        };
    };

    fileMenu_ = addMenu("File", QStringLiteral("&File"));
    openoptn_ = addItem(fileMenu_, "Openoptn", QStringLiteral("Open File"),
                        QKeySequence(Qt::CTRL | Qt::Key_O), [this] { openFile(); });
    recentMenu_ = fileMenu_->addMenu(QStringLiteral("Recent Logs"));
    recentMenu_->setObjectName(QStringLiteral("RecentLogs"));
    recentMenu_->menuAction()->setObjectName(QStringLiteral("RecentLogs"));
    buildRecentLogs();
    addSurveyItems();
    addSeparator(fileMenu_, "spacer1");
    convertall_ = addItem(fileMenu_, "Convertall", QStringLiteral("Convert All"),
                          QKeySequence(Qt::Key_F1), [this] { convertAll(); });
    addSeparator(fileMenu_, "spacer2");
    closeFile_ = addItem(fileMenu_, "CloseFile", QStringLiteral("Close File"),
                         QKeySequence(Qt::CTRL | Qt::Key_C), [this] { closeFile(); });
    addExportChoices();
    addSeparator(fileMenu_, "spacer31");
    addItem(fileMenu_, "Exit", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_X),
            [this] { exitProgram(); });

    quickSortMenu_ = addMenu("QuickSort", QStringLiteral("&Quick Sort"));
    addItem(quickSortMenu_, "Sort1", QStringLiteral("Locked AP's"), QKeySequence(Qt::Key_F2),
            [this] { runExport(MainExport::Locked); });
    addItem(quickSortMenu_, "Sort2", QStringLiteral("Open AP's"), QKeySequence(Qt::Key_F3),
            [this] { runExport(MainExport::Open); });
    addSeparator(quickSortMenu_, "spacer3");
    addItem(quickSortMenu_, "ShortPreamble", QStringLiteral("All Infrastructure"),
            QKeySequence(Qt::Key_F4), [this] { runExport(MainExport::Infrastructure); });
    addItem(quickSortMenu_, "ADHOC", QStringLiteral("All Ad-hoc Points"), QKeySequence(Qt::Key_F5),
            [this] { runExport(MainExport::AdHoc); });

    advancedMenu_ = addMenu("advanced", QStringLiteral("&Advanced"));
    apName_ = addItem(advancedMenu_, "APName", QStringLiteral("Advanced By AP &Name"), {},
                      hook(onAPName));
    addSeparator(advancedMenu_, "spacer10");
    macAddress_ = addItem(advancedMenu_, "MACAddress", QStringLiteral("Advanced By &MAC Address"),
                          {}, hook(onMACAddress));
    addSeparator(advancedMenu_, "spacer11");
    addItem(advancedMenu_, "AdvanceCriteria", QStringLiteral("Advanced By &Criteria"), {},
            hook(onAdvanceCriteria));

    viewMenu_ = addMenu("view", QStringLiteral("&View"));
    addItem(viewMenu_, "Map", QStringLiteral("&Map"), QKeySequence(Qt::CTRL | Qt::Key_M),
            hook(onMap));

    helpMenu_ = addMenu("help", QStringLiteral("&Help"));
    addItem(helpMenu_, "content", QStringLiteral("&Content"), {}, hook(onContent));
    addItem(helpMenu_, "About", QStringLiteral("&About"), {}, hook(onAbout));
}

void Form1::buildRecentLogs() {
    QAction* none = recentMenu_->addAction(QStringLiteral("(none)"));
    none->setObjectName(QStringLiteral("RecentLogsEmpty"));
    none->setEnabled(false);
    // The items stay for the window's life and are refilled: one that opens a log refills
    // the list while its own trigger runs.
    for (int i = 0; i < RecentLogs::kLimit; ++i) {
        QAction* item = recentMenu_->addAction(QString());
        item->setObjectName(QStringLiteral("RecentLog%1").arg(i + 1));
        connect(item, &QAction::triggered, this, [this, item] {
            if (!recentMenu_->menuAction()->isEnabled() || !item->isEnabled()) return;
            const QString entry = item->data().toString();
            if (const auto folder = RecentLogs::folderOf(entry))
                openFolder(corePath(folder->path), folder->recursive);
            else
                openLog(entry);
        });
    }
    // A log can go away while the program runs: its entry is checked each time the list shows.
    connect(recentMenu_, &QMenu::aboutToShow, this, &Form1::fillRecentLogs);
    fillRecentLogs();
}

void Form1::fillRecentLogs() {
    const QList<QAction*> items = recentMenu_->actions();
    items.first()->setVisible(recent_.logs.isEmpty());
    for (int i = 0; i < RecentLogs::kLimit; ++i) {
        QAction* item = items.at(i + 1);
        const QString log = recent_.logs.value(i);
        const auto folder = RecentLogs::folderOf(log);
        QString shownLog = QDir::toNativeSeparators(folder ? folder->path : log);
        shownLog.replace(QLatin1Char('&'), QStringLiteral("&&"));
        if (folder)
            shownLog += folder->recursive ? QStringLiteral(" (folder and subfolders)")
                                          : QStringLiteral(" (folder)");
        item->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shownLog));
        item->setData(log);
        item->setVisible(!log.isEmpty());
        item->setEnabled(folder ? QFileInfo(folder->path).isDir()
                                : !log.isEmpty() && QFileInfo(log).isFile());
    }
}

void Form1::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(false);
    statusText_ = new StatusLine(bar);
    statusText_->setObjectName(QStringLiteral("statusText"));
    bar->addWidget(statusText_, 1);
    openFolder_ = new QLabel(bar);
    openFolder_->setObjectName(QStringLiteral("openFolder"));
    openFolder_->setTextFormat(Qt::RichText);
    openFolder_->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                         Qt::LinksAccessibleByKeyboard);
    openFolder_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    openFolder_->hide();
    bar->addPermanentWidget(openFolder_);
    // The file manager gets the folder through the desktop, as any link would.
    connect(openFolder_, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == kOtherCopyLink) {
            if (onShowOtherCopy) onShowOtherCopy();
        } else if (!Shell::openUrl(QUrl(link))) {
            const QString folder = QDir::toNativeSeparators(QUrl(link).toLocalFile());
            showStatus(QStringLiteral("No file manager is set up to open folders. The folder is ") +
                           folder,
                       folder);
        }
    });

    auto* client = centralWidget();
    copyCounts_ = new QAction(QStringLiteral("Copy Counts"), client);
    copyCounts_->setObjectName(QStringLiteral("CopyCounts"));
    connect(copyCounts_, &QAction::triggered, this, [this] {
        if (copyCounts_->isEnabled()) QGuiApplication::clipboard()->setText(countsText());
    });
    client->addAction(copyCounts_);
    client->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void Form1::setStatusText(const QString& text, const QString& folderLink, const QString& path,
                          const QString& details) {
    statusText_->setStatus(text, path, details);
    openFolder_->setVisible(!folderLink.isEmpty());
    openFolder_->setText(
        folderLink.isEmpty()
            ? QString()
            : QStringLiteral("<a href=\"%1\">Open Folder</a>").arg(folderLink.toHtmlEscaped()));
}

void Form1::showExportOutcome(const ExportOutcome& outcome) {
    if (!outcome.written) {
        setStatusText(QStringLiteral("Export failed: ") + outcome.failure);
        return;
    }
    const QString file = shownPath(outcome.written->target);
    setStatusText(exportWrittenText(*outcome.written),
                  QUrl::fromLocalFile(QFileInfo(file).absolutePath()).toString(QUrl::FullyEncoded),
                  file);
}

void Form1::showStatus(const QString& text, const QString& path) {
    setStatusText(text, {}, path);
}

void Form1::offerOtherCopy() {
    setStatusText(QStringLiteral("Another copy of Velmora runs on this working folder"));
    openFolder_->setText(QStringLiteral("<a href=\"%1\">Show Other Copy</a>").arg(kOtherCopyLink));
    openFolder_->show();
}

QString Form1::countsText() const {
    QStringList lines;
    for (const auto& [caption, count] :
         {std::pair{kTotalCaption, kTotalCount}, std::pair{kDroppedCaption, kDroppedCount},
          std::pair{kWepOffCaption, kWepOffCount}, std::pair{kWepOnCaption, kWepOnCount},
          std::pair{kInfrastructureCaption, kInfrastructureCount},
          std::pair{kAdHocCaption, kAdHocCount}})
        lines << label(caption)->text().trimmed() + QStringLiteral(": ") + label(count)->text();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void Form1::addExportChoices() {
    exportChoices_ = loadExportChoices();
    addSeparator(fileMenu_, "spacerExport");
    QMenu* formats = fileMenu_->addMenu(QStringLiteral("Export Format"));
    formats->setObjectName(QStringLiteral("ExportFormat"));
    formats->menuAction()->setObjectName(QStringLiteral("ExportFormat"));
    auto* group = new QActionGroup(formats);
    group->setExclusive(true);
    for (const ExportFormat format : kExportFormats) {
        const ExportFormatInfo& info = exportFormatInfo(format);
        QAction* item = formats->addAction(QString::fromLatin1(info.title));
        item->setObjectName(QStringLiteral("Format_") + QString::fromLatin1(info.option));
        item->setCheckable(true);
        item->setChecked(format == exportChoices_.format);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, format] {
            exportChoices_.format = format;
            saveExportChoices(exportChoices_);
        });
    }
    QAction* onePin = fileMenu_->addAction(QStringLiteral("One Pin Per Access Point"));
    onePin->setObjectName(QStringLiteral("OnePinPerAP"));
    onePin->setCheckable(true);
    onePin->setChecked(exportChoices_.perAccessPoint);
    connect(onePin, &QAction::toggled, this, [this](bool checked) {
        exportChoices_.perAccessPoint = checked;
        saveExportChoices(exportChoices_);
        emit perAccessPointChanged(checked);
    });
    QAction* weighted = fileMenu_->addAction(QStringLiteral("Pin at Weighted Centre of Sightings"));
    weighted->setObjectName(QStringLiteral("PinAtWeightedCentre"));
    weighted->setCheckable(true);
    weighted->setChecked(exportChoices_.apPosition == ApPosition::Weighted);
    connect(weighted, &QAction::toggled, this, [this](bool checked) {
        exportChoices_.apPosition = checked ? ApPosition::Weighted : ApPosition::Strongest;
        saveExportChoices(exportChoices_);
        emit apPositionChanged(exportChoices_.apPosition);
    });
    QAction* folder = fileMenu_->addAction(QStringLiteral("Export Folder..."));
    folder->setObjectName(QStringLiteral("ExportFolder"));
    fileMenu_->setToolTipsVisible(true);
    connect(fileMenu_, &QMenu::aboutToShow, folder,
            [folder] { folder->setToolTip(exportFolderText()); });
    connect(folder, &QAction::triggered, this, [this] {
        if (const QString text = chooseExportFolder(this); !text.isEmpty()) showStatus(text);
    });
}

ExportStyle Form1::exportStyle() const {
    ExportStyle style;
    style.format = exportChoices_.format;
    style.perAccessPoint = exportChoices_.perAccessPoint;
    style.apPosition = exportChoices_.apPosition;
    style.documentName = log_.filename().string();
    return style;
}

WorkingFiles Form1::workingFiles() const {
    return WorkingFiles{corePath(applicationFolder_)};
}

bool Form1::isLoaded() const {
    return lock_->isLocked();
}

void Form1::setLoadedMenus(bool loaded) {
    openoptn_->setEnabled(!loaded);
    openFolderItem_->setEnabled(!loaded);
    addLogs_->setEnabled(loaded);
    recentMenu_->menuAction()->setEnabled(!loaded);
    copyCounts_->setEnabled(loaded);
    convertall_->setEnabled(loaded);
    closeFile_->setEnabled(loaded);
    quickSortMenu_->menuAction()->setEnabled(loaded);
    advancedMenu_->menuAction()->setEnabled(loaded);
    viewMenu_->menuAction()->setEnabled(loaded);
}

void Form1::setStatisticsVisible(bool visible) {
    // The statistics block: every label but the status line.
    for (const LabelLayout& l : kLabels)
        if (l.number != kStatusLine) label(l.number)->setVisible(visible);
}

bool Form1::takeWorkingFileLock() {
    const auto status = lock_->tryLock();
    if (status == WorkingFolderLock::Status::Held) return true;
    label(kStatusLine)
        ->setText(status == WorkingFolderLock::Status::InUse
                      ? QString::fromLatin1(kFileInUse)
                      : QStringLiteral("Working File Error - Check Folder"));
    if (status == WorkingFolderLock::Status::InUse && onShowOtherCopy) offerOtherCopy();
    return false;
}

void Form1::openFile() {
    if (!openoptn_->isEnabled()) return;
    // Two copies, or a copy and the batch tool, using one folder would share output1: the lock
    // keeps it to one.
    if (!takeWorkingFileLock()) return;

    commonDialog1_.setInitialFolder(recent_.startFolder());
    commonDialog1_.setFilters(logFilters(), 0);
    commonDialog1_.showOpen(this);
    // After a cancel the dialog still holds an earlier choice, which is read again.
    if (commonDialog1_.fileName().isEmpty()) {
        lock_->unlock();
        return;
    }
    if (const QStringList chosen = commonDialog1_.fileNames(); chosen.size() > 1) {
        std::vector<std::filesystem::path> logs;
        for (const QString& name : chosen) logs.push_back(corePath(name));
        lock_->unlock();
        openLogs(logs);
        return;
    }
    loadNamedLog(commonDialog1_.fileName());
}

bool Form1::openLog(const QString& path) {
    if (!openoptn_->isEnabled()) return false;
    if (!takeWorkingFileLock()) return false;
    commonDialog1_.acceptOpened(path);
    return loadNamedLog(commonDialog1_.fileName());
}

bool Form1::openLog(const std::filesystem::path& path) {
    if (!openoptn_->isEnabled()) return false;
    if (!takeWorkingFileLock()) return false;
    std::error_code ec;
    log_ = std::filesystem::absolute(path, ec);
    if (ec) log_ = path;
    commonDialog1_.acceptOpened(shownPath(log_));
    // The dialog makes the log's folder current by its text, which cannot name a folder whose
    // name is not valid in the file system's encoding: its bytes can.
    std::filesystem::current_path(log_.parent_path(), ec);
    return loadChosenLog();
}

bool Form1::loadNamedLog(const QString& path) {
    // A log named through its bytes keeps them while the dialog holds its name (read again
    // after a cancelled dialog).
    if (path == shownPath(log_) && !representable(log_)) return loadChosenLog();
    log_ = corePath(path);
    if (lostUndecodableBytes(path)) {
        // The text came from a name whose bytes it could not hold: the file is not missing.
        label(kStatusLine)->setText(QStringLiteral("File Not Readable - Try Again"));
        setStatusText(path +
                      QStringLiteral(": the file's name is not valid UTF-8, so it cannot be "
                                     "opened from here: name it on the command line (velmora "
                                     "LOG) or rename it"));
        lock_->unlock();
        return false;
    }
    return loadChosenLog();
}

void Form1::openFromCommandLine(const std::vector<std::filesystem::path>& logs) {
    if (logs.size() == 1) {
        openLog(logs.front());
        return;
    }
    if (logs.empty()) return;
    QStringList names;
    for (const std::filesystem::path& log : logs) names << shownPath(log);
    const QString text =
        QStringLiteral(
            "Velmora opens one log at a time. It was started with %1 logs (%2) and "
            "opened none: choose one with File > Open File.")
            .arg(logs.size())
            .arg(names.join(QStringLiteral(", ")));
    setStatusText(QStringLiteral("Started with %1 logs: none opened").arg(logs.size()));
    MessageBox::information(this, QString::fromLatin1(kApplicationTitle), text);
}

bool Form1::loadChosenLog() {
    const QString path = commonDialog1_.fileName();
    progressBar1_->setValue(10);
    progressBar1_->show();
    LoadResult result;
    {
        const BusyCursor busy;
        result = loadSourceLog(log_, workingFiles());
    }
    progressBar1_->hide();
    label(kStatusLine)->setText(shown(result.report));
    if (result.status != LoadStatus::Loaded) {
        lock_->unlock();
        // A file a log reader refused says why (an .ns1 version it cannot read).
        setStatusText(result.status == LoadStatus::BadFile
                          ? QStringLiteral("Not a survey log: ") + path +
                                (result.reason.empty() ? QString()
                                                       : QStringLiteral(" (") +
                                                             QString::fromLocal8Bit(result.reason) +
                                                             QStringLiteral(")"))
                      : result.reason.empty() ? QString()
                                              : QString::fromLocal8Bit(result.reason));
        return false;
    }

    // A summary export has no MAC window, a text export no AP-name window; the logs of the
    // other readers, one sighting a line like a text export with exact names, have both.
    macAddress_->setEnabled(result.type != SourceType::SummaryExport);
    apName_->setEnabled(result.type != SourceType::TextExport);
    label(kSourceType)->setText(QString::fromLatin1(sourceTypeText(result.type)));
    setWindowTitle(kCaption + QStringLiteral(" - ") + commonDialog1_.fileTitle());
    progressBar1_->setValue(100);
    setLoadedMenus(true);

    const auto& c = result.counts;
    showCounts(c);
    survey_->adopt(log_, result);

    // What the counts do not show: other radios skipped, and where a damaged log ended.
    QString opened = QStringLiteral("Opened ") + path;
    if (c.otherRadios > 0)
        opened += QStringLiteral("; %1 other radio entries skipped")
                      .arg(QString::fromStdString(groupedDigits(c.otherRadios)));
    if (!result.damage.empty())
        opened +=
            QStringLiteral("; loaded up to the damage: ") + QString::fromStdString(result.damage);
    if (!representable(log_)) {
        // The settings file keeps text: this name would come back naming another file.
        setStatusText(
            opened + QStringLiteral(" (not kept in Recent Logs: its name is not valid UTF-8)"), {},
            path);
        return true;
    }
    // Another copy may have opened logs meanwhile: its list is kept too.
    recent_ = loadRecentLogs();
    recent_.add(path);
    saveRecentLogs(recent_);
    fillRecentLogs();
    setStatusText(opened, {}, path);
    return true;
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    // Taken while Loaded too, so that the drop can say why it opens nothing.
    if (!droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const std::vector<std::filesystem::path> files = droppedFiles(event->mimeData());
    if (files.empty()) return;
    event->acceptProposedAction();
    // Several files or a folder make a survey, or go into the loaded one.
    if (isLoaded())
        addLogs(files);
    else if (files.size() > 1)
        openLogs(files);
    else if (std::filesystem::is_directory(files.front()))
        openFolder(files.front(), true);  // as Open Folder opens it, with its subfolders
    else
        openLog(files.front());
}

void Form1::convertAll() {
    if (convertall_->isEnabled()) runExport(MainExport::ConvertAll);
}

void Form1::runExport(MainExport kind) {
    if (!isLoaded()) return;
    const MainExportInfo& info = mainExportInfo(kind);
    // A failed file operation abandons the command: no beep, Label1 keeps its text.
    ExportStyle style = exportStyle();
    const auto vendors =
        vendorsForExport(style.format, corePath(vendorFolder()) / kVendorListFileName);
    style.vendors = vendors ? &*vendors : nullptr;
    const bool done = writeReportedExport(
        this,
        [&] {
            const MainExportWritten written = writeMainExport(
                kind, workingFiles().output1(), exportFolder(), log_.filename().string(), style);
            return ExportWritten{written.target, written.points, style.perAccessPoint};
        },
        [this](ExportOutcome outcome) {
            if (!outcome.written) outcome.failure += exportFolderHint();
            showExportOutcome(outcome);
        });
    if (!done) return;
    if (info.beeps) Beep::beep();
    label(kStatusLine)->setText(QString::fromLatin1(info.completion));
}

void Form1::closeFile() {
    if (!closeFile_->isEnabled()) return;
    // The Advanced windows read output1: they go first.
    for (const auto& close : closeAdvancedWindows)
        if (close) close();
    commonDialog1_.setFileName(QString());
    log_.clear();
    survey_->clear();
    centralWidget()->setToolTip(QString());
    setWindowTitle(kCaption);
    picture1_->show();
    label(kStatusLine)->setText(QStringLiteral("Information Unloaded"));
    setStatusText(QString());
    setLoadedMenus(false);
    setStatisticsVisible(false);
    for (Form1::Label number : kCounts) label(number)->setText(QStringLiteral("0"));
    removeWorkingRecords(workingFiles());
    lock_->unlock();
}

void Form1::exitProgram() {
    endProgram();
    close();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program and cannot be cancelled.
    endProgram();
    event->accept();
}

void Form1::endProgram() {
    if (ended_) return;
    ended_ = true;
    for (const auto& close : closeAdvancedWindows)
        if (close) close();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isWindow()) child->close();
    // output1 belongs to the copy that holds the lock; an idle copy leaves another copy's
    // working file alone, but does remove one left behind by an earlier run.
    if (lock_->tryLock() == WorkingFolderLock::Status::Held) {
        removeWorkingRecords(workingFiles());
        lock_->unlock();
    }
    emit ended();
}

}  // namespace velmora
