// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/advanced_window.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

#include "advanced/file_name.h"
#include "export/styled_export.h"
#include "platform/file_dialog.h"
#include "ui/artwork.h"
#include "ui/entry_list.h"
#include "ui/export_choices.h"
#include "ui/export_save_dialog.h"
#include "ui/font_fitting.h"
#include "ui/latin1_text.h"
#include "ui/twips.h"
#include "ui/window_places.h"

namespace velmora {

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

void AdvancedWindow::addShowOnMapButton(int rightTwips, int widthTwips) {
    constexpr int kStripTwips = 480, kHeightTwips = 375;
    const int top = height();
    setFixedSize(width(), top + px(kStripTwips));
    auto* button = new QPushButton(QStringLiteral("Show on &Map"), this);
    button->setObjectName(QStringLiteral("ShowOnMap"));
    button->setGeometry(px(rightTwips - widthTwips), top, px(widthTwips), px(kHeightTwips));
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
    return showExportDialog(dialog, std::function<QString(ExportFormat)>([&](ExportFormat format) {
                                return shown(proposedName(format));
                            }),
                            streetsAndTripsExtension);
}

std::optional<ExportStyle> AdvancedWindow::showExportDialog(
    FileDialog& dialog, const std::function<QString(ExportFormat)>& proposedName,
    const QString& streetsAndTripsExtension) {
    ExportStyle style = paths_.exportStyle();
    const ExportFormat start = style.format;
    // The dialog takes a name with quotes as several files, one with "/" as a folder: it is
    // offered a name it reads as one file.
    dialog.setFileName(
        QString::fromStdString(dialogFileName(proposedName(start).toUtf8().toStdString())));
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
