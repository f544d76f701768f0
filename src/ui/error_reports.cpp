// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/error_reports.h"

#include <exception>
#include <filesystem>

#include "io/file_error.h"
#include "platform/message_box.h"
#include "ui/busy_cursor.h"
#include "ui/file_names.h"

namespace velmora {

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

}  // namespace velmora
