// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/export_reports.h"

#include "platform/message_box.h"
#include "records/ascii.h"
#include "ui/error_reports.h"
#include "ui/file_names.h"

namespace velmora {

QString exportWrittenText(const ExportWritten& written) {
    const QString digits = QString::fromStdString(groupedDigits(written.points));
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

}  // namespace velmora
