// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/program_windows.h"

#include <QCoreApplication>
#include <QPointer>
#include <memory>

#include "platform/tile_source.h"
#include "records/vendor_list.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/busy_cursor.h"
#include "ui/file_names.h"
#include "ui/frmAbout.h"
#include "ui/help_links.h"
#include "ui/help_window.h"
#include "ui/latin1_text.h"
#include "ui/map_window.h"

namespace velmora {

namespace {

// What an Advanced window works with, taken when it is loaded: the main window's working file
// and vendor list, and the export folder and export choices as they stand at each export.
AdvancedWindowPaths advancedWindowPaths(const Form1& form1) {
    return AdvancedWindowPaths{form1.workingFiles().output1(),
                               corePath(form1.vendorFolder()) / kVendorListFileName, exportFolder,
                               [&form1] { return form1.exportStyle(); }};
}

// The map window shows the loaded log, its background from the configured tile server.
MapWindowPaths mapWindowPaths(Form1& form1) {
    return MapWindowPaths{form1.workingFiles().output1(),
                          corePath(form1.vendorFolder()) / kVendorListFileName,
                          form1.commonDialog1().fileTitle(), TileSource::configuredUrlTemplate(),
                          TileSource::defaultCacheFolder()};
}

// Opens the map window (loading it first if it is not), brings it to the front, returns it.
using MapOpener = std::function<MapWindow&()>;

// The map window is loaded on first use and lives until its close control or Close File
// unloads it; it follows "One Pin Per Access Point" and the logs added to the survey while it
// lives.
MapOpener attachMapWindow(Form1& form1) {
    auto window = std::make_shared<QPointer<MapWindow>>();
    MapOpener open = [&form1, window]() -> MapWindow& {
        if (!*window)
            *window =
                new MapWindow(form1, mapWindowPaths(form1), form1.exportStyle().perAccessPoint,
                              form1.exportStyle().apPosition);
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
        return **window;
    };
    form1.onMap = [open] { open(); };
    QObject::connect(&form1, &Form1::perAccessPointChanged, [window](bool perAccessPoint) {
        if (*window) (*window)->setPerAccessPoint(perAccessPoint);
    });
    QObject::connect(&form1, &Form1::apPositionChanged, [window](ApPosition position) {
        if (*window) (*window)->setApPosition(position);
    });
    form1.closeAdvancedWindows.push_back([window] { delete window->data(); });
    form1.reloadWindows.push_back([window] {
        if (*window) (*window)->reload();
    });
    return open;
}

// An Advanced window is loaded on its menu item's first use, then only shown and brought to
// the front until it is unloaded: by its own close control, or by Close File. Its "Show on
// Map" opens the map on what its export would write.
template <typename Window>
void attachAdvancedWindow(Form1& form1, std::function<void()>& menuItem, MapOpener openMap) {
    auto window = std::make_shared<QPointer<Window>>();
    // Loads the window if it is not: it reads the working file and fills its lists as it is made.
    const auto load = [&form1, window, openMap] {
        if (*window) return;
        const BusyCursor busy;
        *window = new Window(form1, advancedWindowPaths(form1));
        QObject::connect(*window, &AdvancedWindow::unloaded, [window] { *window = nullptr; });
        QObject::connect(*window, &AdvancedWindow::exportFinished, &form1,
                         &Form1::showExportOutcome);
        QObject::connect(*window, &AdvancedWindow::showOnMapRequested, [window, openMap] {
            const auto selection = (*window)->mapSelection();
            openMap().showSelection(selection);
        });
    };
    menuItem = [window, load] {
        load();
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
    };
    form1.closeAdvancedWindows.push_back([window] { delete window->data(); });
    // Its lists are the survey's as it was made: once logs are added, a shown window is made
    // again in its place, a hidden one unloaded until its next use.
    form1.reloadWindows.push_back([window, load] {
        if (!*window) return;
        const bool shown = (*window)->isVisible();
        delete window->data();
        if (!shown) return;
        load();
        (*window)->show();
    });
}

}  // namespace

void attachProgramWindows(Form1& form1) {
    // About: loaded when closed, otherwise brought to the front. Finishing it (OK, Enter, Esc,
    // its close control) unloads it.
    auto about = std::make_shared<QPointer<frmAbout>>();
    form1.onAbout = [&form1, about] {
        if (!*about) {
            *about = new frmAbout(&form1);
            QObject::connect(*about, &QDialog::finished, [about] { *about = nullptr; });
        }
        (*about)->show();
        (*about)->raise();
        (*about)->activateWindow();
    };
    // Content: the help page shipped beside the executable, in a window of the program that
    // lives until the program ends.
    auto help = std::make_shared<QPointer<HelpWindow>>();
    form1.onContent = [&form1, help] {
        if (!*help)
            *help = new HelpWindow(&form1, helpPageUrl(QCoreApplication::applicationDirPath()));
        (*help)->show();
        (*help)->raise();
        (*help)->activateWindow();
    };

    const MapOpener openMap = attachMapWindow(form1);
    attachAdvancedWindow<Form2>(form1, form1.onAPName, openMap);
    attachAdvancedWindow<Form3>(form1, form1.onMACAddress, openMap);
    attachAdvancedWindow<Form4>(form1, form1.onAdvanceCriteria, openMap);
}

}  // namespace velmora
