// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/loopback_tile_server.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace velmora {

LoopbackTileServer::LoopbackTileServer(QObject* parent) : QObject(parent) {
    connect(&server_, &QTcpServer::newConnection, this, &LoopbackTileServer::accept);
}

LoopbackTileServer::~LoopbackTileServer() {
    stop();
    for (QTcpSocket* socket : std::as_const(open_)) socket->disconnect(this);
}

bool LoopbackTileServer::start() {
    if (!server_.isListening() && !server_.listen(QHostAddress::LocalHost, port_)) return false;
    port_ = server_.serverPort();
    return true;
}

void LoopbackTileServer::stop() {
    server_.close();
    const QSet<QTcpSocket*> open = open_;
    for (QTcpSocket* socket : open) socket->abort();
}

QString LoopbackTileServer::urlTemplate() const {
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port_);
}

QByteArray LoopbackTileServer::tilePng() {
    QFile file(QStringLiteral(":/velmora/test_tile.png"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void LoopbackTileServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        open_.insert(socket);
        maxOpen_ = qMax(maxOpen_, int(open_.size()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            open_.remove(socket);
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

// Takes every complete request from the socket (a client may send the next one on a kept-alive
// connection); a GET has no body, so a request ends at its blank line.
void LoopbackTileServer::read(QTcpSocket* socket) {
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);
        Request request;
        const QList<QByteArray> words = lines.value(0).trimmed().split(' ');
        request.path = QString::fromLatin1(words.value(1));
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == "user-agent")
                request.userAgent = QString::fromLatin1(line.mid(colon + 1).trimmed());
        }
        requests_.append(request);
        if (answer_ == Answer::Silent) continue;
        const QPointer<QTcpSocket> guarded(socket);
        const QString path = request.path;
        QTimer::singleShot(delayMs_, this, [this, guarded, path] {
            if (guarded) answer(guarded, path);
        });
    }
}

void LoopbackTileServer::answer(QTcpSocket* socket, const QString& path) {
    static const QRegularExpression tilePath(QStringLiteral("^/\\d+/\\d+/\\d+\\.png$"));
    const QByteArray tile = tilePng_.isEmpty() ? tilePng() : tilePng_;
    QByteArray status = "200 OK", type = "image/png", body, extra;
    if (answer_ == Answer::NotFound || !tilePath.match(path).hasMatch()) {
        status = "404 Not Found";
        type = "text/plain";
        body = "no such tile\n";
    } else if (answer_ == Answer::Broken) {
        type = "text/html";
        body = "<html><body>Sign in to use this network</body></html>\n";
    } else if (answer_ == Answer::ForbiddenTile || answer_ == Answer::NotFoundTile) {
        status = answer_ == Answer::ForbiddenTile ? "403 Forbidden" : "404 Not Found";
        body = tile;
    } else if (answer_ == Answer::Redirect) {
        status = "302 Found";
        type = "text/plain";
        extra = "Location: " + redirectTarget_ + "\r\n";
    } else {
        body = tile;
    }
    QByteArray head = "HTTP/1.1 " + status + "\r\n";
    head += "Content-Type: " + type + "\r\n";
    if (answer_ == Answer::Endless)
        head += "Connection: close\r\n";  // the body ends when the connection does: never
    else
        head += "Content-Length: " +
                QByteArray::number(answer_ == Answer::Oversized ? qint64(1) << 30 : body.size()) +
                "\r\n";
    head += extra + extraHeaders_ + "\r\n";
    if (answer_ == Answer::Trickle) {
        socket->write(head);
        trickle(socket, body);
        return;
    }
    socket->write(head + body);
    if (answer_ == Answer::Endless || answer_ == Answer::Oversized) {
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { stream(socket); });
        stream(socket);
    }
}

// Keeps a little ahead of the client, so an endless body costs the server no memory.
void LoopbackTileServer::stream(QTcpSocket* socket) {
    static const QByteArray filler(64 << 10, 'x');
    while (socket->state() == QAbstractSocket::ConnectedState &&
           socket->bytesToWrite() < (256 << 10))
        socket->write(filler);
}

void LoopbackTileServer::trickle(QTcpSocket* socket, const QByteArray& body) {
    auto* timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [this, socket, body, sent = qsizetype(0)]() mutable {
        if (sent < body.size()) socket->write(body.mid(sent++, 1));
    });
    timer->start(50);
}

}  // namespace velmora
