// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "advanced/file_name.h"
#include "export/styled_export.h"
#include "io/file_error.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/program_settings.h"
#include "ui/artwork.h"
#include "ui/entry_list.h"
#include "ui/export_choices.h"

namespace velmora {

namespace {
// A frame's title sits between its border's corners.
constexpr int kFrameTitlePadding = 16;

// Windows opened beside the main window keep this far from it, and each next one this much
// lower.
constexpr int kBesideGap = 8;
constexpr int kCascadeStep = 32;

QString placeKey(const QWidget* window) {
    return QStringLiteral("windows/") + window->objectName();
}

// Whether a window at `frame` can be reached: its top left corner and its middle on a screen.
bool onAScreen(const QRect& frame) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        if (area.contains(frame.topLeft()) && area.contains(frame.center())) return true;
    }
    return false;
}

}  // namespace

QPoint placeBeside(const QRect& owner, const QSize& size, int cascade, const QRect& available) {
    const int down = cascade * kCascadeStep;
    const auto inside = [&](QPoint at) {
        at.setX(std::max(available.left(), std::min(at.x(), available.right() + 1 - size.width())));
        at.setY(
            std::max(available.top(), std::min(at.y(), available.bottom() + 1 - size.height())));
        return at;
    };
    const QPoint candidates[] = {
        {owner.right() + 1 + kBesideGap, owner.top() + down},             // right
        {owner.left() - kBesideGap - size.width(), owner.top() + down},   // left
        {owner.left() + down, owner.bottom() + 1 + kBesideGap},           // below
        {owner.left() + down, owner.top() - kBesideGap - size.height()},  // above
    };
    // The first side where the window fits whole, moved up or along to stay on the screen.
    for (const QPoint& at : candidates) {
        const QPoint moved = inside(at);
        if (available.contains(QRect(moved, size)) && !QRect(moved, size).intersects(owner))
            return moved;
    }
    // No room: the side covering the least of the main window.
    QPoint best = inside(candidates[0]);
    long long least = -1;
    for (const QPoint& at : candidates) {
        const QRect covered = QRect(inside(at), size).intersected(owner);
        const long long area = covered.isEmpty() ? 0 : 1LL * covered.width() * covered.height();
        if (least < 0 || area < least) least = area, best = inside(at);
    }
    return best;
}

void placeWindow(QWidget* window, const QWidget& owner, int cascade, bool withSize) {
    const QRect kept = programSettings().value(placeKey(window)).toRect();
    if (kept.isValid() && onAScreen(kept)) {
        if (withSize) window->resize(kept.size());
        window->move(kept.topLeft());
        return;
    }
    const QScreen* screen = owner.screen() ? owner.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // Before it is shown the window has no frame yet: it will have the owner's.
    const QRect ownerFrame = owner.frameGeometry();
    const QSize margins = ownerFrame.size() - owner.geometry().size();
    const QRect available = screen->availableGeometry();
    // A resizable window larger than the screen opens as large as the screen holds.
    if (withSize) window->resize(window->size().boundedTo(available.size() - margins));
    window->move(placeBeside(ownerFrame, window->size() + margins, cascade, available));
}

void rememberPlace(const QWidget* window) {
    programSettings().setValue(placeKey(window), QRect(window->pos(), window->size()));
}

QString shown(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string latin1Bytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::filesystem::path corePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString shownPath(const std::filesystem::path& path) {
    return QFile::decodeName(path.c_str());
}

void fitFont(QWidget* window, const std::vector<std::pair<const QWidget*, QString>>& longest) {
    QFont font = window->font();
    for (int size = 11; size > 8; --size) {
        font.setPixelSize(size);
        window->setFont(font);
        const QFontMetrics metrics(font);
        bool fits = true;
        for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
            fits = fits && b->sizeHint().width() <= b->width();
        for (const QGroupBox* g : window->findChildren<QGroupBox*>())
            fits = fits && metrics.horizontalAdvance(g->title()) + kFrameTitlePadding <= g->width();
        for (const QLabel* l : window->findChildren<QLabel*>())
            fits = fits && (l->wordWrap() || metrics.horizontalAdvance(l->text()) <= l->width());
        for (const auto& [widget, text] : longest)
            fits = fits && metrics.horizontalAdvance(text) <= widget->width();
        if (fits) return;
    }
}

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

std::optional<QString> fileOperationFailure(const std::function<void()>& operation) {
    try {
        const BusyCursor busy;
        operation();
        return std::nullopt;
    } catch (const FileError& e) {
        // The system's reason comes in the locale's encoding.
        return shownPath(e.path()) + QStringLiteral(": ") + QString::fromLocal8Bit(e.reason());
    } catch (const std::filesystem::filesystem_error& e) {
        // The current folder itself can be gone by the time an export asks for it.
        const QString reason = QString::fromLocal8Bit(e.code().message());
        return e.path1().empty() ? QString::fromLocal8Bit(e.what())
                                 : shownPath(e.path1()) + QStringLiteral(": ") + reason;
    } catch (const std::exception& e) {
        // An export that failed otherwise than on its file, which it has left as it was.
        return QString::fromLocal8Bit(e.what());
    }
}

bool reportingFileErrors(QWidget* parent, const std::function<void()>& operation) {
    const std::optional<QString> failure = fileOperationFailure(operation);
    if (failure) MessageBox::error(parent, QString::fromLatin1(kApplicationTitle), *failure);
    return !failure;
}

QString exportWrittenText(const ExportWritten& written) {
    // Grouped by commas whatever the locale, as the number reads in the program's texts.
    QString digits = QString::number(written.points);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char(','));
    const bool one = written.points == 1;
    const QString what =
        written.perAccessPoint
            ? (one ? QStringLiteral("access point") : QStringLiteral("access points"))
            : (one ? QStringLiteral("sighting") : QStringLiteral("sightings"));
    return QStringLiteral("Wrote %1 %2 to %3").arg(digits, what, shownPath(written.target));
}

bool writeReportedExport(QWidget* parent, const std::function<ExportWritten()>& write,
                         const ExportReporter& report) {
    ExportOutcome outcome;
    const std::optional<QString> failure = fileOperationFailure([&] { outcome.written = write(); });
    if (failure) {
        outcome.written.reset();
        outcome.failure = *failure;
    }
    // The status bar tells first, so it already names the file while the error box is up.
    if (report) report(outcome);
    if (failure) MessageBox::error(parent, QString::fromLatin1(kApplicationTitle), *failure);
    return !failure;
}

std::filesystem::path exportFolder() {
    return std::filesystem::current_path();
}

bool showExportSaveDialog(QWidget* parent, FileDialog& dialog,
                          const std::function<std::filesystem::path()>& folder) {
    QString start;
    try {
        start = shownPath(folder());
    } catch (const std::filesystem::filesystem_error&) {
        // A folder removed meanwhile: the dialog starts where it can, the export reports it.
    }
    dialog.setInitialFolder(start);
    return dialog.showSave(parent);
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

AdvancedWindow::AdvancedWindow(QWidget& owner, AdvancedWindowPaths paths, const char* name,
                               const QString& caption, int widthTwips, int heightTwips)
    : QWidget(&owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      paths_(std::move(paths)) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setWindowIcon(applicationIcon());
    setFixedSize(px(widthTwips), px(heightTwips));
}

void AdvancedWindow::addShowOnMapButton(int rightTwips) {
    constexpr int kStripTwips = 480, kWidthTwips = 1815, kHeightTwips = 375;
    const int top = height();
    setFixedSize(width(), top + px(kStripTwips));
    auto* button = new QPushButton(QStringLiteral("Show on &Map"), this);
    button->setObjectName(QStringLiteral("ShowOnMap"));
    button->setGeometry(px(rightTwips - kWidthTwips), top, px(kWidthTwips), px(kHeightTwips));
    connect(button, &QPushButton::clicked, this, &AdvancedWindow::showOnMapRequested);
}

AdvancedWindow::~AdvancedWindow() {
    if (isVisible()) rememberPlace(this);
}

void AdvancedWindow::addFilterBox(EntryList* list) {
    constexpr int kStripTwips = 360, kBoxTwips = 330;
    const int top = list->y(), strip = px(kStripTwips);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->y() >= top && child != list->filterBox())
            child->move(child->x(), child->y() + strip);
    setFixedSize(width(), height() + strip);
    list->filterBox()->setGeometry(list->x(), top, list->width(), px(kBoxTwips));
    setTabOrder(list->filterBox(), list);
}

void AdvancedWindow::finishLayout(int cascade,
                                  const std::vector<std::pair<const QWidget*, QString>>& longest) {
    fitFont(this, longest);
    placeWindow(this, *parentWidget(), cascade, false);
}

void AdvancedWindow::hideEvent(QHideEvent* event) {
    rememberPlace(this);
    QWidget::hideEvent(event);
}

bool AdvancedWindow::showSaveDialog(FileDialog& dialog) {
    return showExportSaveDialog(this, dialog, paths_.exportFolder);
}

std::optional<ExportStyle> AdvancedWindow::showExportDialog(
    FileDialog& dialog, const std::function<std::string(ExportFormat)>& proposedName,
    const QString& streetsAndTripsExtension) {
    ExportStyle style = paths_.exportStyle();
    const ExportFormat start = style.format;
    dialog.setFileName(shown(proposedName(start)));
    dialog.setDefaultExtension(start == ExportFormat::StreetsAndTrips
                                   ? streetsAndTripsExtension
                                   : QString::fromLatin1(exportFormatInfo(start).extension + 1));
    dialog.setFilters(exportFormatFilters(), static_cast<int>(start));
    if (!showSaveDialog(dialog)) return std::nullopt;
    style.format = static_cast<ExportFormat>(dialog.selectedFilter());
    exportVendors_ = vendorsForExport(style.format, paths_.vendorList);
    style.vendors = exportVendors_ ? &*exportVendors_ : nullptr;
    return style;
}

bool AdvancedWindow::writeExport(const std::function<ExportWritten()>& write) {
    return writeReportedExport(
        this, write, [this](const ExportOutcome& outcome) { emit exportFinished(outcome); });
}

void AdvancedWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit unloaded();
    deleteLater();
}

}  // namespace velmora
