// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/export_save_dialog.h"

#include "platform/file_dialog.h"
#include "ui/file_names.h"

namespace velmora {

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

}  // namespace velmora
