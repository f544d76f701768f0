// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/status_line.h"

#include <QFontMetrics>
#include <QPainter>

namespace velmora {

namespace {

// `text` cut after each run of spaces: "Wrote ", "15 ", "sightings ".
QStringList words(const QString& text) {
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == QLatin1Char(' ') &&
            (i + 1 == text.size() || text[i + 1] != QLatin1Char(' '))) {
            pieces << text.mid(start, i + 1 - start);
            start = i + 1;
        }
    if (start < text.size()) pieces << text.mid(start);
    return pieces;
}

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusLine::setStatus(const QString& text, const QString& path, const QString& details) {
    path_ = text.contains(path) ? path : QString();
    setText(text);
    setToolTip(details.isEmpty() ? text : details);
    refit();
}

QStringList StatusLine::layOut(int width) const {
    const QFontMetrics metrics = fontMetrics();
    const QString whole = text();
    if (width <= 0 || metrics.horizontalAdvance(whole) <= width) return {whole};
    const auto wide = [&](const QString& s) { return metrics.horizontalAdvance(s); };
    QString before = whole, folder, file, after;
    if (const qsizetype at = path_.isEmpty() ? -1 : whole.indexOf(path_); at >= 0) {
        before = whole.left(at);
        after = whole.mid(at + path_.size());
        const qsizetype name = path_.lastIndexOf(QLatin1Char('/')) + 1;
        folder = path_.left(name);
        file = path_.mid(name);
        // One line, the middle of the folder left out.
        const int room = width - wide(before + file + after);
        if (!folder.isEmpty() && room >= wide(QStringLiteral("\u2026/")))
            return {before + metrics.elidedText(folder, Qt::ElideMiddle, room) + file + after};
    }
    // Lines broken after spaces; the folder takes one line at most; a word or file name
    // wider than a line is broken where the line ends.
    QStringList pieces = words(before);
    if (!folder.isEmpty()) pieces << metrics.elidedText(folder, Qt::ElideMiddle, width);
    if (!file.isEmpty()) pieces << file;
    pieces << words(after);
    QStringList lines{QString()};
    for (QString piece : pieces) {
        while (!piece.isEmpty()) {
            QString& line = lines.last();
            if (wide((line + piece).trimmed()) <= width) {
                line += piece;
                break;
            }
            if (!line.trimmed().isEmpty()) {
                lines << QString();
                continue;
            }
            qsizetype fits = 1;
            while (fits < piece.size() && wide(piece.left(fits + 1)) <= width) ++fits;
            line = piece.left(fits);
            piece.remove(0, fits);
            lines << QString();
        }
    }
    for (QString& line : lines) line = line.trimmed();
    lines.removeAll(QString());
    return lines;
}

void StatusLine::refit() {
    const QStringList lines = layOut(contentsRect().width());
    const bool taller = lines.size() != lines_.size();
    lines_ = lines;
    if (taller) updateGeometry();
    update();
}

QSize StatusLine::sizeHint() const {
    const auto count = static_cast<int>(std::max<qsizetype>(1, lines_.size()));
    const QMargins m = contentsMargins();
    return {QLabel::sizeHint().width(), count * fontMetrics().lineSpacing() + m.top() + m.bottom()};
}

QSize StatusLine::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void StatusLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect room = contentsRect();
    const int step = fontMetrics().lineSpacing();
    for (qsizetype i = 0; i < lines_.size(); ++i)
        painter.drawText(
            QRect(room.left(), room.top() + static_cast<int>(i) * step, room.width(), step),
            Qt::AlignLeft | Qt::AlignVCenter, lines_.at(i));
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refit();
}

}  // namespace velmora
