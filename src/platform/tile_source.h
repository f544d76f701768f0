// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include "map/tile_id.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QUrl;

namespace velmora {

// Slippy-map background tiles from a URL template
// ("https://tile.openstreetmap.org/{z}/{x}/{y}.png"), fetched as the tile servers' usage policy
// asks: a User-Agent naming Velmora and its version, at most two requests at a time, tiles kept in
// a disk cache (QNetworkDiskCache in `cacheFolder`) that honours the server's expiry, so a
// re-opened area loads offline. A tile the network cannot bring shows its expired copy from the
// disk; once the server has not answered at all, copies on disk are shown without asking it first.
// A tile that fails (network or HTTP error, no answer within the timeout or the deadline, larger
// than the tile cap, not an image of a tile's size, a redirect to another host) is not asked for
// again until a retry: after a back-off that grows with each retry that fails too (30 s, 1 min,
// then every 5 min), or at once on retryNow(); retryDue() then says the view should ask again.
// The source is offline while its last answer from the network failed: offline() says it went
// so, online() that a request succeeded again, which also ends every wait for a retry. Nothing
// blocks.
//
// What a hostile or broken server can cost is bounded: a reply is aborted once it holds more than
// the tile cap, so memory and the disk cache's half-written entry stay under it, and the disk
// cache as a whole (finished entries and those being written) stays under its cap. Tiles are
// decoded to the size they are drawn at, so the memory cache holds what the view needs.
class TileSource : public QObject {
    Q_OBJECT

  public:
    // The template the program uses: VELMORA_TILE_URL, else the setting "map/tileUrl", else
    // the OpenStreetMap standard tiles.
    static QString configuredUrlTemplate();
    static QString defaultCacheFolder();  // the user's cache folder + "/velmora/tiles"
    static QString userAgent();           // "Velmora/<version> (...)"
    static constexpr int kMaxRequests = 2;
    static constexpr int kDefaultTimeoutMs = 10000;
    static constexpr int kDefaultDeadlineMs = 30000;
    static constexpr qint64 kDefaultMaxTileBytes = 4ll << 20;
    static constexpr qint64 kDefaultDiskCacheBytes = 256ll << 20;
    // No tile server sends more; a larger image is refused before it is decoded.
    static constexpr int kMaxTileSide = 2048;
    static constexpr int kMaxZoom = 30;
    // The waits before each retry of failed tiles; the last repeats.
    static QList<int> defaultRetryDelays() { return {30000, 60000, 300000}; }

    TileSource(const QString& urlTemplate, const QString& cacheFolder, QObject* parent = nullptr);
    ~TileSource() override;

    // The tile's image if it is at hand (memory), else a null image, and the tile is asked for
    // (once) unless it has failed; tileReady() follows when it comes. A tile outside the world
    // (x or y beyond 0 .. 2^zoom - 1) is a null image, never asked for. A tile asked for again
    // while it waits moves to the front of the queue: the newest wish is served first.
    QImage tile(map::TileId id);
    // Forgets queued requests for tiles no longer wanted (the view moved on); requests already
    // on the wire finish and fill the caches.
    void keepOnly(const QList<map::TileId>& wanted);
    // Whether the last request answered from the network failed.
    bool isOffline() const { return offline_; }
    bool hasFailed(map::TileId id) const { return failed_.contains(id); }
    int queuedCount() const { return int(queue_.size()); }
    // How long a request may go without receiving anything before it is abandoned as failed.
    void setTimeout(int milliseconds) { timeoutMs_ = milliseconds; }
    // How long a request may take in all, however steadily its bytes trickle in.
    void setDeadline(int milliseconds) { deadlineMs_ = milliseconds; }
    // The waits, in milliseconds, before the first retry of failed tiles, the second, ...; the
    // last one repeats. Empty lists are ignored.
    void setRetryDelays(const QList<int>& milliseconds);
    // The wait before the next retry; 0 while none is due.
    int pendingRetryMs() const;
    // Forgets every failure now: the tiles are asked for again when next wanted.
    void retryNow();
    // The largest reply body taken as a tile; a longer one is aborted.
    void setMaxTileBytes(qint64 bytes);
    // The most the disk cache folder holds, entries being written included.
    void setDiskCacheBytes(qint64 bytes);
    // The side, in device pixels, of the square a tile is drawn into: larger images are decoded
    // down to it (clamped to 16 .. 1024).
    void setDrawnTileSize(int pixels);
    int drawnTileSize() const { return drawnSize_; }
    // Bytes of decoded images held in memory, and the most any reply held before it finished.
    qint64 memoryBytes() const { return images_.totalCost(); }
    qint64 peakReplyBytes() const { return peakReplyBytes_; }
    QString urlFor(map::TileId id) const;

    // An image as a tile drawn `drawnSide` pixels wide: scaled down to drawnSide x drawnSide
    // when larger, null when it is no image or larger than kMaxTileSide either way.
    static QImage decodeTile(const QByteArray& bytes, int drawnSide);
    // A redirect is followed only to the same host, over http or https, never from https to
    // http.
    static bool redirectAllowed(const QUrl& from, const QUrl& to);
  signals:
    void tileReady(map::TileId id);
    // A tile could not be had; its retry is then due in pendingRetryMs().
    void failed(map::TileId id);
    void offline();
    void online();
    // Failed tiles are forgotten: ask for the view's tiles again.
    void retryDue();

  private:
    void startRequests();
    void send(map::TileId id, bool cacheOnly);
    void finished(QNetworkReply* reply);
    void fail(map::TileId id);
    void checkSize(QNetworkReply* reply);
    void applyDiskCacheCap();
    void retry();

    QString urlTemplate_;
    QNetworkAccessManager* network_;
    QCache<map::TileId, QImage> images_;
    QList<map::TileId> queue_;  // front first
    QHash<QNetworkReply*, map::TileId> inFlight_;
    QSet<map::TileId> failed_;
    QTimer* retryTimer_;
    QList<int> retryDelays_ = defaultRetryDelays();
    int retries_ = 0;  // retries since the source went offline
    int timeoutMs_ = kDefaultTimeoutMs;
    int deadlineMs_ = kDefaultDeadlineMs;
    qint64 maxTileBytes_ = kDefaultMaxTileBytes;
    qint64 diskCacheBytes_ = kDefaultDiskCacheBytes;
    int drawnSize_ = 256;
    qint64 peakReplyBytes_ = 0;
    bool offline_ = false;
    bool cacheFirst_ = false;  // the server has not answered once: disk copies go first
};

}  // namespace velmora
