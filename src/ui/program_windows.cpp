#include "ui/program_windows.h"

#include <QCoreApplication>
#include <QPointer>
#include <memory>

#include "platform/shell.h"
#include "records/vendor_list.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/frmAbout.h"
#include "ui/help_links.h"
#include "ui/window_support.h"

namespace velmora {

namespace {

// What an Advanced window works with, taken when it is loaded: the main window's working file
// and vendor list, and the export folder and export choices as they stand at each export.
AdvancedWindowPaths advancedWindowPaths(const Form1& form1) {
    return AdvancedWindowPaths{form1.workingFiles().output1(),
                               corePath(form1.vendorFolder()) / kVendorListFileName, exportFolder,
                               [&form1] { return form1.exportStyle(); }};
}

// An Advanced window is loaded on its menu item's first use, then only shown and brought to
// the front until it is unloaded: by its own close control, or by Close File.
template <typename Window>
void attachAdvancedWindow(Form1& form1, std::function<void()>& menuItem) {
    auto window = std::make_shared<QPointer<Window>>();
    menuItem = [&form1, window] {
        if (!*window) {
            *window = new Window(form1, advancedWindowPaths(form1));
            QObject::connect(*window, &AdvancedWindow::unloaded, [window] { *window = nullptr; });
        }
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
    };
    form1.closeAdvancedWindows.push_back([window] { delete window->data(); });
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
    // Content: the help page shipped beside the executable; the shell's answer is not used.
    form1.onContent = [] { Shell::openUrl(helpPageUrl(QCoreApplication::applicationDirPath())); };

    attachAdvancedWindow<Form2>(form1, form1.onAPName);
    attachAdvancedWindow<Form3>(form1, form1.onMACAddress);
    attachAdvancedWindow<Form4>(form1, form1.onAdvanceCriteria);
}

}  // namespace velmora
