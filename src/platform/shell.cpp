// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <utility>

namespace velmora {

namespace {

struct State {
    bool scripted = false;
    QString nextStartError;
    bool nextOpenFails = false;
    QList<Shell::Call> calls;
};

State& state() {
    static State s;
    return s;
}

}  // namespace

bool Shell::openUrl(const QUrl& url) {
    if (state().scripted) {
        state().calls.append({Call::Kind::OpenUrl, url.toString(), {}});
        return !std::exchange(state().nextOpenFails, false);
    }
    return QDesktopServices::openUrl(url);
}

QString Shell::startDetached(const QString& program, const QStringList& arguments) {
    if (state().scripted) {
        state().calls.append({Call::Kind::StartDetached, program, arguments});
        return std::exchange(state().nextStartError, QString());
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached()) return {};
    return process.errorString().isEmpty() ? QStringLiteral("Cannot start %1").arg(program)
                                           : process.errorString();
}

void Shell::setScripted(bool scripted) {
    state().scripted = scripted;
}
void Shell::failNextOpen() {
    state().nextOpenFails = true;
}
void Shell::failNextStart(const QString& error) {
    state().nextStartError = error;
}
const QList<Shell::Call>& Shell::calls() {
    return state().calls;
}
void Shell::clearCalls() {
    state().calls.clear();
}

}  // namespace velmora
