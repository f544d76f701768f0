// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

namespace velmora {

// The layouts' positions suit a narrow 11-pixel font. Where the platform's font is wider, a
// smaller size (down to 9 pixels) keeps every caption within its control: buttons, frame
// titles, labels, and the longest text a label will later be given (`longest`).
void fitFont(QWidget* window, const std::vector<std::pair<const QWidget*, QString>>& longest = {});

}  // namespace velmora
