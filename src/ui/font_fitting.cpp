// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/font_fitting.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>

namespace velmora {

namespace {
// A frame's title sits between its border's corners.
constexpr int kFrameTitlePadding = 16;
}  // namespace

void fitFont(QWidget* window, const std::vector<std::pair<const QWidget*, QString>>& longest) {
    QFont font = window->font();
    for (int size = 11; size > 8; --size) {
        font.setPixelSize(size);
        window->setFont(font);
        const QFontMetrics metrics(font);
        bool fits = true;
        for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
            fits = fits && b->sizeHint().width() <= b->width();
        for (const QGroupBox* g : window->findChildren<QGroupBox*>())
            fits = fits && metrics.horizontalAdvance(g->title()) + kFrameTitlePadding <= g->width();
        for (const QLabel* l : window->findChildren<QLabel*>())
            fits = fits && (l->wordWrap() || metrics.horizontalAdvance(l->text()) <= l->width());
        for (const auto& [widget, text] : longest)
            fits = fits && metrics.horizontalAdvance(text) <= widget->width();
        if (fits) return;
    }
}

}  // namespace velmora
