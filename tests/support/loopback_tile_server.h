// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace velmora {

// A tool for the tests and the screenshot tool, never for the program: a small HTTP server on
// 127.0.0.1 (a port the system picks) that answers every GET of a /z/x/y.png path with one
// bundled test tile made for the project (a pale land-like picture, not a real map tile), or
// another image it is given, or with a failure it is told to give. It records each request's
// path and User-Agent, and how many connections were open at once.
class LoopbackTileServer : public QObject {
    Q_OBJECT

  public:
    enum class Answer {
        Tile,           // 200 with the test tile
        NotFound,       // 404
        Broken,         // 200 with a web page instead of an image, as a captive portal sends
        Silent,         // reads the request and never answers
        ForbiddenTile,  // 403 with the tile as its body, as some servers send for refused use
        NotFoundTile,   // 404 with the tile as its body, a "no such tile" picture
        Endless,        // 200, an image/png body without a length that never ends
        Oversized,      // 200 announcing a 1 GiB body, then sending it
        Trickle,        // 200, then the body one byte at a time, a byte every 50 ms
        Redirect,       // 302 to the redirect target
    };
    struct Request {
        QString path;
        QString userAgent;
    };

    explicit LoopbackTileServer(QObject* parent = nullptr);
    ~LoopbackTileServer() override;

    // Listens on 127.0.0.1; false when no port can be had.
    bool start();
    // Stops listening and closes every connection: clients then find the port refused.
    void stop();
    quint16 port() const { return port_; }
    // "http://127.0.0.1:<port>/{z}/{x}/{y}.png"
    QString urlTemplate() const;

    void setAnswer(Answer answer) { answer_ = answer; }
    // Extra header lines for every answer, e.g. "Cache-Control: max-age=3600\r\n".
    void setExtraHeaders(const QByteArray& lines) { extraHeaders_ = lines; }
    // Holds each answer back this long, so that a client that opened more connections than it
    // should would have them open at the same time.
    void setDelay(int milliseconds) { delayMs_ = milliseconds; }
    // The body of Answer::Tile (and of the error answers with a tile); the bundled tile unless
    // set.
    void setTilePng(const QByteArray& png) { tilePng_ = png; }
    // The Location of Answer::Redirect.
    void setRedirectTarget(const QByteArray& url) { redirectTarget_ = url; }

    const QList<Request>& requests() const { return requests_; }
    int maxOpenConnections() const { return maxOpen_; }
    int openConnections() const { return int(open_.size()); }

    // The bundled test tile, PNG bytes.
    static QByteArray tilePng();

  private:
    void accept();
    void read(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QString& path);
    void stream(QTcpSocket* socket);
    void trickle(QTcpSocket* socket, const QByteArray& body);

    QTcpServer server_;
    quint16 port_ = 0;
    Answer answer_ = Answer::Tile;
    QByteArray extraHeaders_;
    int delayMs_ = 0;
    QByteArray tilePng_;
    QByteArray redirectTarget_;
    QSet<QTcpSocket*> open_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QList<Request> requests_;
    int maxOpen_ = 0;
};

}  // namespace velmora
