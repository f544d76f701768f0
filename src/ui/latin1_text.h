// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace velmora {

// A log's bytes and the core's texts made of them are 8-bit text, shown as Latin-1 byte for
// byte.
QString shown(std::string_view bytes);
// The bytes of a text shown with shown().
std::string latin1Bytes(const QString& text);
// A network name of the core (advanced/network_name.h): an exact name is UTF-8, an SSID item
// the log's bytes.
QString shownName(std::string_view text, bool exact);

}  // namespace velmora
