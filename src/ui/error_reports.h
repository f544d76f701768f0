// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace velmora {

// Runs one file operation under the busy cursor. Returns nothing when it succeeded, otherwise
// the text naming the file and the system's reason (or, for an export that failed otherwise,
// what failed).
std::optional<QString> fileOperationFailure(const std::function<void()>& operation);

// Runs one file operation. A failure is shown in the error box (fileOperationFailure's text),
// and the caller abandons its command. Returns whether it succeeded.
bool reportingFileErrors(QWidget* parent, const std::function<void()>& operation);

}  // namespace velmora
