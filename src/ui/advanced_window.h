// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/export_format.h"
#include "export/selection.h"
#include "records/vendor_list.h"
#include "ui/export_folder.h"
#include "ui/export_reports.h"

namespace velmora {

class EntryList;
class FileDialog;

// The files an Advanced window works with, handed to it when it is loaded.
struct AdvancedWindowPaths {
    // The working record file (output1) of the loaded log, which the window lists and exports.
    std::filesystem::path workingFile;
    // The vendor list (vlident.txt) the MAC and criteria windows look addresses up in.
    std::filesystem::path vendorList;
    // Where an export's save dialog opens. Asked at each export, as each confirmed save dialog
    // moves it; exportFolder() unless set otherwise.
    std::function<std::filesystem::path()> exportFolder = velmora::exportFolder;
    // How the main window writes its exports as its File menu stands: the format an export's
    // save dialog starts on, one pin per access point, the log's name for a KML Document.
    // Asked at each export.
    std::function<ExportStyle()> exportStyle = [] { return ExportStyle{}; };
};

// What an Advanced window hands the map for "Show on Map": the records its export would write
// as its controls stand (the very selection the export uses), and how the map names them.
struct MapSelection {
    RecordSelection records;
    QString title;
};

// What the three Advanced windows share: a fixed-size window of the main window (`owner`),
// without minimise and maximise buttons, opened centred on it. Their "Close Advanced" buttons
// only hide them; the frame's close control unloads them: unloaded() is emitted at once, so
// the menu loads a fresh window next time, and the window deletes itself afterwards.
//
// Each has a "Show on Map" button (ShowOnMap) in a strip added below its own controls, which
// stay where they are: it emits showOnMapRequested(), and whoever attached the window asks
// mapSelection() for what to highlight.
class AdvancedWindow : public QWidget {
    Q_OBJECT

  public:
    ~AdvancedWindow() override;
    const AdvancedWindowPaths& paths() const { return paths_; }
    // The records the window's export would write now; nothing while the window has no
    // selection its export would accept.
    virtual std::optional<MapSelection> mapSelection() const = 0;

  signals:
    void unloaded();
    void showOnMapRequested();
    // An export has been written or has failed: for the main window's status bar.
    void exportFinished(const velmora::ExportOutcome& outcome);

  protected:
    AdvancedWindow(QWidget& owner, AdvancedWindowPaths paths, const char* name,
                   const QString& caption, int widthTwips, int heightTwips);
    // Adds the list's filter box in a strip above the list: the controls from the list's top
    // down move down by the strip, the window grows by it.
    void addFilterBox(EntryList* list);
    // Adds the "Show on Map" button in a strip below the window's controls, its right edge at
    // `rightTwips`, `widthTwips` wide. Call before finishLayout().
    void addShowOnMapButton(int rightTwips, int widthTwips = 1815);
    // Call once the controls are built: fits the font and opens the window beside its owner
    // (placeWindow()), the `cascade`-th of them.
    void finishLayout(int cascade,
                      const std::vector<std::pair<const QWidget*, QString>>& longest = {});
    // Shows `dialog` as the export's save dialog in the export folder; see
    // showExportSaveDialog().
    bool showSaveDialog(FileDialog& dialog);
    // The same for an export that can be written in every format: the dialog offers the five
    // formats as file types, starting on the main window's choice, and the name
    // `proposedName` gives for it. A name typed without extension takes
    // `streetsAndTripsExtension` (may be empty) in Streets and Trips, else the format's; the
    // file type chosen sets the format. Returns the style to write with (its vendor list, for
    // a map format, read where it can be), or nothing when the user cancelled.
    std::optional<ExportStyle> showExportDialog(
        FileDialog& dialog, const std::function<std::string(ExportFormat)>& proposedName,
        const QString& streetsAndTripsExtension);
    // The same, the proposed name given as the dialog shows it.
    std::optional<ExportStyle> showExportDialog(
        FileDialog& dialog, const std::function<QString(ExportFormat)>& proposedName,
        const QString& streetsAndTripsExtension);
    // Writes the window's export (writeReportedExport), its outcome sent by exportFinished().
    bool writeExport(const std::function<ExportWritten()>& write);
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    AdvancedWindowPaths paths_;
    std::optional<VendorList> exportVendors_;  // the vendor list of the export being written
};

}  // namespace velmora
