// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

class QLocalServer;

namespace velmora {

// The copies of the program one user runs on one working folder find each other through a
// local socket whose name holds the user and the folder: the first copy answers, a later one
// asks it where its window is (to open beside it, not over it) or to come to the front.
//
// The first copy answers each connection with its window's place, "x y\n"; a later copy that
// then sends "raise\n" brings it forward. A socket left by a copy that crashed is taken over.
class OtherCopy : public QObject {
    Q_OBJECT

  public:
    // `place` tells where this copy's main window is, for the later copies.
    OtherCopy(const QString& workingFolder, std::function<QPoint()> place,
              QObject* parent = nullptr);
    ~OtherCopy() override;

    // Whether this copy answers the others (no other copy ran when it started).
    bool isFirst() const { return server_ != nullptr; }
    // A later copy's questions; each is answered by a signal, within `timeoutMs` at most.
    void askPlace(int timeoutMs = 300);
    void bringForward(int timeoutMs = 500);

    // The socket name for a user and a working folder (a path in the runtime folder where
    // XDG_RUNTIME_DIR names one).
    static QString serverName(const QString& user, const QString& workingFolder);

  signals:
    // In the first copy: a later copy asked it to come to the front.
    void forwardRequested();
    // In a later copy: where the first copy's window is.
    void placeAnswered(QPoint place);
    // In a later copy: whether the first copy came forward (false: it did not answer).
    void forwardAnswered(bool done);

  private:
    void ask(bool raise, int timeoutMs);

    QString name_;
    std::function<QPoint()> place_;
    QLocalServer* server_ = nullptr;
};

}  // namespace velmora
