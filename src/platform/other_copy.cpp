// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/other_copy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>
#include <optional>
#include <utility>

namespace velmora {

namespace {

QString userName() {
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

}  // namespace

QString OtherCopy::serverName(const QString& user, const QString& workingFolder) {
    const QByteArray key = (user + QLatin1Char('\n') + QDir::cleanPath(workingFolder)).toUtf8();
    const QString name =
        QStringLiteral("velmora-") +
        QString::fromLatin1(
            QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
    // In the user's own runtime folder where there is one, so no other user can take the name
    // first; else in the shared temporary folder, where the socket is the user's alone.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() || !QDir(runtime).exists() ? name : QDir(runtime).filePath(name);
}

OtherCopy::OtherCopy(const QString& workingFolder, std::function<QPoint()> place, QObject* parent)
    : QObject(parent), name_(serverName(userName(), workingFolder)), place_(std::move(place)) {
    // A local connection is taken by the system at once, answered or not.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(300)) return;
    QLocalServer::removeServer(name_);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name_)) {
        delete server;
        return;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("raise")) emit forwardRequested();
            });
            const QPoint at = place_ ? place_() : QPoint();
            socket->write(QStringLiteral("%1 %2\n").arg(at.x()).arg(at.y()).toLatin1());
        }
    });
}

OtherCopy::~OtherCopy() = default;

void OtherCopy::askPlace(int timeoutMs) {
    ask(false, timeoutMs);
}

void OtherCopy::bringForward(int timeoutMs) {
    ask(true, timeoutMs);
}

void OtherCopy::ask(bool raise, int timeoutMs) {
    auto* socket = new QLocalSocket(this);
    auto* timer = new QTimer(socket);
    auto done = std::make_shared<bool>(false);
    const auto finish = [this, socket, raise, done](std::optional<QPoint> place) {
        if (std::exchange(*done, true)) return;
        if (raise)
            emit forwardAnswered(place.has_value());
        else if (place)
            emit placeAnswered(*place);
        socket->disconnect(this);
        socket->deleteLater();
    };
    connect(socket, &QLocalSocket::readyRead, this, [socket, finish] {
        if (!socket->canReadLine()) return;
        const QList<QByteArray> xy = socket->readLine().trimmed().split(' ');
        bool x = false, y = false;
        const QPoint place(xy.value(0).toInt(&x), xy.value(1).toInt(&y));
        finish(x && y ? std::optional(place) : std::nullopt);
    });
    connect(socket, &QLocalSocket::errorOccurred, this, [finish] { finish(std::nullopt); });
    connect(timer, &QTimer::timeout, this, [finish] { finish(std::nullopt); });
    connect(socket, &QLocalSocket::connected, this, [socket, raise] {
        if (!raise) return;
        socket->write("raise\n");
        socket->flush();
    });
    timer->start(timeoutMs);
    socket->connectToServer(name_);
}

}  // namespace velmora
