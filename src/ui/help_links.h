// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

namespace velmora {

// The page Help > "Content" opens: the help page shipped beside the executable, so it works
// without a network.
QUrl helpPageUrl(const QString& programFolder);

// The page "Check for online updates" opens, fixed at build time; empty when the build was
// given none.
QUrl updatePageUrl();

// Whether `url` is an update page to open: not empty, and not a placeholder on example.org
// (or a name under it) that no one serves.
bool isUpdateAddress(const QUrl& url);

// The program that hands an address to the desktop's browser.
inline constexpr const char* kDesktopOpener = "xdg-open";

}  // namespace velmora
