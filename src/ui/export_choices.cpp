// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/export_choices.h"

#include "platform/program_settings.h"

namespace velmora {

namespace {

const QString kFormatKey = QStringLiteral("export/format");
const QString kPerAccessPointKey = QStringLiteral("export/onePinPerAccessPoint");
const QString kWeightedKey = QStringLiteral("export/pinAtWeightedCentre");

}  // namespace

ExportChoices loadExportChoices() {
    const QSettings stored = programSettings();
    ExportChoices choices;
    const QByteArray word = stored.value(kFormatKey).toString().toLatin1();
    if (const auto format = parseExportFormat(std::string_view(word.constData(), word.size())))
        choices.format = *format;
    choices.perAccessPoint = stored.value(kPerAccessPointKey, false).toBool();
    choices.apPosition =
        stored.value(kWeightedKey, false).toBool() ? ApPosition::Weighted : ApPosition::Strongest;
    return choices;
}

void saveExportChoices(const ExportChoices& choices) {
    QSettings stored = programSettings();
    stored.setValue(kFormatKey, QString::fromLatin1(exportFormatInfo(choices.format).option));
    stored.setValue(kPerAccessPointKey, choices.perAccessPoint);
    stored.setValue(kWeightedKey, choices.apPosition == ApPosition::Weighted);
}

QList<FileDialog::Filter> exportFormatFilters() {
    QList<FileDialog::Filter> filters;
    for (const ExportFormat format : kExportFormats) {
        const ExportFormatInfo& info = exportFormatInfo(format);
        const QString extension = format == ExportFormat::StreetsAndTrips
                                      ? QStringLiteral("txt")
                                      : QString::fromLatin1(info.extension + 1);
        filters.append({QStringLiteral("%1 (*.%2)").arg(QString::fromLatin1(info.title), extension),
                        extension});
    }
    return filters;
}

}  // namespace velmora
