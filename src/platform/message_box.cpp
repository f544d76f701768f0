// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace velmora {

namespace {

struct State {
    bool scripted = false;
    QList<MessageBox::Shown> shown;
};

State& state() {
    static State s;
    return s;
}

void present(MessageBox::Kind kind, QWidget* parent, const QString& caption, const QString& text) {
    if (state().scripted) {
        state().shown.append({kind, caption, text});
        return;
    }
    MessageBox::build(kind, parent, caption, text)->exec();
}

// What a title bar needs besides its text: the icon, the close button and the margins.
constexpr int kTitleBarExtra = 120;

}  // namespace

void MessageBox::information(QWidget* parent, const QString& caption, const QString& text) {
    present(Kind::Information, parent, caption, text);
}

void MessageBox::error(QWidget* parent, const QString& caption, const QString& text) {
    present(Kind::Error, parent, caption, text);
}

std::unique_ptr<QMessageBox> MessageBox::build(Kind kind, QWidget* parent, const QString& caption,
                                               const QString& text) {
    const auto icon = kind == Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    auto box = std::make_unique<QMessageBox>(icon, caption, text, QMessageBox::Ok, parent);
    // A short text would make the box narrower than its title, which the frame then cuts. The
    // box sizes itself from its layout, so a spacer across the layout's last row widens it.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarExtra;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

void MessageBox::setScripted(bool scripted) {
    state().scripted = scripted;
}
const QList<MessageBox::Shown>& MessageBox::shown() {
    return state().shown;
}
void MessageBox::clearShown() {
    state().shown.clear();
}

}  // namespace velmora
