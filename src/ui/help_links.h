#pragma once

#include <QString>
#include <QUrl>

namespace velmora {

// The page Help > "Content" opens: the help page shipped beside the executable, so it works
// without a network.
QUrl helpPageUrl(const QString& programFolder);

// The page "Check for online updates" opens, fixed at build time.
QUrl updatePageUrl();

// The program that hands an address to the desktop's browser.
inline constexpr const char* kDesktopOpener = "xdg-open";

}  // namespace velmora
