// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/export_format.h"
#include "export/selection.h"
#include "records/vendor_list.h"

namespace velmora {

class EntryList;
class FileDialog;

// Positions are laid out in twips, 15 to the pixel.
constexpr int px(int twips) {
    return twips / 15;
}

// A log's bytes and the core's texts made of them are 8-bit text, shown as Latin-1 byte for
// byte.
QString shown(std::string_view bytes);
// The bytes of a text shown with shown().
std::string latin1Bytes(const QString& text);
// File names are the file system's: shown in its encoding, and back. A path as the file
// system names it:
std::filesystem::path corePath(const QString& path);
// and a path as the windows show it.
QString shownPath(const std::filesystem::path& path);

// The layouts' positions suit a narrow 11-pixel font. Where the platform's font is wider, a
// smaller size (down to 9 pixels) keeps every caption within its control: buttons, frame
// titles, labels, and the longest text a label will later be given (`longest`).
void fitFont(QWidget* window, const std::vector<std::pair<const QWidget*, QString>>& longest = {});

// Shows the busy cursor over every window of the program for as long as it lives: a load, an
// export, a window filling its lists. It is restored on every way out, an exception included.
class BusyCursor {
  public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Runs one file operation under the busy cursor. Returns nothing when it succeeded, otherwise
// the text naming the file and the system's reason (or, for an export that failed otherwise,
// what failed).
std::optional<QString> fileOperationFailure(const std::function<void()>& operation);

// Runs one file operation. A failure is shown in the error box (fileOperationFailure's text),
// and the caller abandons its command. Returns whether it succeeded.
bool reportingFileErrors(QWidget* parent, const std::function<void()>& operation);

// What an export wrote: the file, and the points in it (sightings, or access points where the
// export writes one pin per access point).
struct ExportWritten {
    std::filesystem::path target;
    std::uint64_t points = 0;
    bool perAccessPoint = false;
};

// How an export ended, for the main window's status bar: what was written, or the failure's
// text.
struct ExportOutcome {
    std::optional<ExportWritten> written;
    QString failure;
};
using ExportReporter = std::function<void(const ExportOutcome&)>;

// The status bar's text for an export that wrote `written`: "Wrote 1,234 sightings to <path>".
QString exportWrittenText(const ExportWritten& written);

// Writes an export as reportingFileErrors() runs a file operation, then hands the outcome to
// `report` (when set). Returns whether the export was written.
bool writeReportedExport(QWidget* parent, const std::function<ExportWritten()>& write,
                         const ExportReporter& report);

// The folder every export writes into: the current working folder, which the open dialog made
// the loaded log's folder and each confirmed save dialog the folder of its file. Throws
// std::filesystem::filesystem_error when that folder is gone.
std::filesystem::path exportFolder();

// Shows a save dialog in the folder `folder` names (exportFolder(), where the main window's
// exports go too, unless a window is given another), offering the name the dialog holds.
// Returns whether the user confirmed a file. A folder that is gone lets the dialog start where
// it can; the export then reports it.
bool showExportSaveDialog(QWidget* parent, FileDialog& dialog,
                          const std::function<std::filesystem::path()>& folder);

// Where an export chosen in a save dialog goes: the dialog made the chosen folder current,
// and only the chosen file name is taken from it, so it cannot point into another folder.
// Throws FileError when the dialog returned no usable file name.
std::filesystem::path chosenExportPath(const FileDialog& dialog);

// Where a window opens whose frame is `size`, the `cascade`-th (from 0) of the windows that
// open beside the main window, whose frame is `owner`, within the screen's `available` area:
// to the right of the main window, else to its left, else below it, else above it, so that it
// does not cover the main window's counts; shifted down by `cascade` steps so that windows
// opened together stay apart. Where there is no room beside, it goes where it covers the least,
// always inside `available` as far as its size allows. Returns the frame's top left corner.
QPoint placeBeside(const QRect& owner, const QSize& size, int cascade, const QRect& available);

// Opens `window` (a top-level window of the main window, `owner`) where it was last, as
// QSettings keeps it under the window's object name, when that place is still on a screen
// (with its size too when `withSize`); otherwise where placeBeside() puts it on the main
// window's screen.
void placeWindow(QWidget* window, const QWidget& owner, int cascade, bool withSize);
// Keeps `window`'s place and size for placeWindow(), under its object name.
void rememberPlace(const QWidget* window);

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
    // `rightTwips`. Call before finishLayout().
    void addShowOnMapButton(int rightTwips);
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
    // Writes the window's export (writeReportedExport), its outcome sent by exportFinished().
    bool writeExport(const std::function<ExportWritten()>& write);
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    AdvancedWindowPaths paths_;
    std::optional<VendorList> exportVendors_;  // the vendor list of the export being written
};

}  // namespace velmora
