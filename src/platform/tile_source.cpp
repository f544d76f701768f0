// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/tile_source.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>

#include "platform/program_settings.h"
#include "velmora_version.h"

namespace velmora {

namespace {

const char* const kDefaultTemplate = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
constexpr qint64 kDiskCacheBytes = 256ll << 20;
constexpr int kMemoryCacheKiB = 48 << 10;  // about 190 decoded 256x256 tiles

// Marks the second try of a tile, the one that reads the disk cache alone.
constexpr auto kCacheOnlyAttribute = QNetworkRequest::User;

}  // namespace

QString TileSource::configuredUrlTemplate() {
    const QString fromEnvironment = qEnvironmentVariable("VELMORA_TILE_URL").trimmed();
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QSettings settings = programSettings();
    const QString fromSettings = settings.value(QStringLiteral("map/tileUrl")).toString().trimmed();
    return fromSettings.isEmpty() ? QString::fromLatin1(kDefaultTemplate) : fromSettings;
}

QString TileSource::defaultCacheFolder() {
    // The generic cache folder, so the program and its tools share one cache whatever the
    // executable is called.
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/velmora/tiles");
}

QString TileSource::userAgent() {
    return QStringLiteral("Velmora/" VELMORA_FILE_VERSION " (wireless survey log viewer)");
}

TileSource::TileSource(const QString& urlTemplate, const QString& cacheFolder, QObject* parent)
    : QObject(parent),
      urlTemplate_(urlTemplate),
      network_(new QNetworkAccessManager(this)),
      images_(kMemoryCacheKiB) {
    QDir().mkpath(cacheFolder);
    auto* cache = new QNetworkDiskCache(network_);
    cache->setCacheDirectory(cacheFolder);
    cache->setMaximumCacheSize(kDiskCacheBytes);
    network_->setCache(cache);
    connect(network_, &QNetworkAccessManager::finished, this, &TileSource::finished);
}

TileSource::~TileSource() {
    // Replies still on the wire are dropped without a word: nobody waits for them any more.
    disconnect(network_, nullptr, this, nullptr);
    for (QNetworkReply* reply : inFlight_.keys()) reply->abort();
}

QString TileSource::urlFor(map::TileId id) const {
    QString url = urlTemplate_;
    url.replace(QLatin1String("{z}"), QString::number(id.zoom));
    url.replace(QLatin1String("{x}"), QString::number(id.x));
    url.replace(QLatin1String("{y}"), QString::number(id.y));
    return url;
}

QImage TileSource::tile(map::TileId id) {
    // A view wider than the world asks for tiles beyond its edges; no server has them.
    if (id.zoom < 0 || id.zoom > kMaxZoom || id.x < 0 || id.y < 0 || id.x >= (1 << id.zoom) ||
        id.y >= (1 << id.zoom))
        return {};
    if (const QImage* image = images_.object(id)) return *image;
    if (failed_.contains(id)) return {};
    for (const map::TileId& busy : inFlight_)
        if (busy == id) return {};
    queue_.removeOne(id);
    queue_.prepend(id);
    startRequests();
    return {};
}

void TileSource::keepOnly(const QList<map::TileId>& wanted) {
    const QSet<map::TileId> keep(wanted.begin(), wanted.end());
    queue_.removeIf([&](const map::TileId& id) { return !keep.contains(id); });
}

void TileSource::startRequests() {
    while (inFlight_.size() < kMaxRequests && !queue_.isEmpty()) {
        // Once the server has not answered (no network), any copy on disk is taken at once, so
        // a re-opened area shows without waiting for timeouts; a tile the disk lacks is still
        // asked for, so the background returns with the network.
        const map::TileId id = queue_.takeFirst();
        send(id, cacheFirst_ && network_->cache()->metaData(QUrl(urlFor(id))).isValid());
    }
}

void TileSource::send(map::TileId id, bool cacheOnly) {
    QNetworkRequest request{QUrl(urlFor(id))};
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    // A fresh copy in the disk cache is used as it is; an expired one is revalidated with the
    // server. A cache-only request is the fallback when the network fails.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         cacheOnly ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferNetwork);
    request.setAttribute(kCacheOnlyAttribute, cacheOnly);
    request.setTransferTimeout(timeoutMs_);
    inFlight_.insert(network_->get(request), id);
}

void TileSource::finished(QNetworkReply* reply) {
    reply->deleteLater();
    const auto found = inFlight_.constFind(reply);
    if (found == inFlight_.constEnd()) return;
    const map::TileId id = *found;
    inFlight_.erase(found);

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && status == 0) cacheFirst_ = true;
    QImage image;
    if (reply->error() == QNetworkReply::NoError &&
        (status == 0 || (status >= 200 && status < 300)))
        image.loadFromData(reply->readAll());
    if (!image.isNull()) {
        images_.insert(id, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes() >> 10));
        emit tileReady(id);
    } else if (!reply->request().attribute(kCacheOnlyAttribute).toBool() &&
               network_->cache()->metaData(reply->url()).isValid()) {
        send(id, true);
    } else {
        fail(id);
    }
    startRequests();
}

void TileSource::fail(map::TileId id) {
    failed_.insert(id);
    if (!offline_) {
        offline_ = true;
        emit offline();
    }
}

}  // namespace velmora
