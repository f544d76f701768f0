// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_settings.h"

namespace velmora {

QSettings programSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"),
                     QStringLiteral("velmora"));
}

}  // namespace velmora
