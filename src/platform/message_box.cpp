#include "platform/message_box.h"

#include <QMessageBox>

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
    const auto icon = kind == MessageBox::Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

void MessageBox::information(QWidget* parent, const QString& caption, const QString& text) {
    present(Kind::Information, parent, caption, text);
}

void MessageBox::error(QWidget* parent, const QString& caption, const QString& text) {
    present(Kind::Error, parent, caption, text);
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
