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

namespace velmora {

// Slippy-map background tiles from a URL template
// ("https://tile.openstreetmap.org/{z}/{x}/{y}.png"), fetched as the tile servers' usage policy
// asks: a User-Agent naming Velmora and its version, at most two requests at a time, tiles kept in
// a disk cache (QNetworkDiskCache in `cacheFolder`) that honours the server's expiry, so a
// re-opened area loads offline. A tile the network cannot bring shows its expired copy from the
// disk; once the server has not answered at all, copies on disk are shown without asking it first.
// A tile that fails (network or HTTP error, no answer within the timeout, not an image) is not
// asked for again in this session; the first failure emits offline() once. Nothing blocks.
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
    static constexpr int kMaxZoom = 30;

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
    bool isOffline() const { return offline_; }
    bool hasFailed(map::TileId id) const { return failed_.contains(id); }
    int queuedCount() const { return int(queue_.size()); }
    // How long a request may go without receiving anything before it is abandoned as failed.
    void setTimeout(int milliseconds) { timeoutMs_ = milliseconds; }
    QString urlFor(map::TileId id) const;

  signals:
    void tileReady(map::TileId id);
    void offline();

  private:
    void startRequests();
    void send(map::TileId id, bool cacheOnly);
    void finished(QNetworkReply* reply);
    void fail(map::TileId id);

    QString urlTemplate_;
    QNetworkAccessManager* network_;
    QCache<map::TileId, QImage> images_;
    QList<map::TileId> queue_;  // front first
    QHash<QNetworkReply*, map::TileId> inFlight_;
    QSet<map::TileId> failed_;
    int timeoutMs_ = kDefaultTimeoutMs;
    bool offline_ = false;
    bool cacheFirst_ = false;  // the server has not answered once: disk copies go first
};

}  // namespace velmora
