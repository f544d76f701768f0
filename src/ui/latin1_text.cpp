// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/latin1_text.h"

#include <QByteArray>

namespace velmora {

QString shown(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString shownName(std::string_view text, bool exact) {
    return exact ? QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                 : shown(text);
}

std::string latin1Bytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace velmora
