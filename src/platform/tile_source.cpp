// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/tile_source.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>

#include "platform/program_settings.h"
#include "velmora_version.h"

namespace velmora {

namespace {

const char* const kDefaultTemplate = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
// About 190 decoded 256x256 tiles; more when the view shows more (keepOnly).
constexpr qint64 kMemoryCacheBytes = 48ll << 20;
// What a cache entry adds to its body: the URL and the reply's headers.
constexpr qint64 kCacheEntryOverhead = 16 << 10;

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
      images_(kMemoryCacheBytes),
      retryTimer_(new QTimer(this)) {
    retryTimer_->setSingleShot(true);
    connect(retryTimer_, &QTimer::timeout, this, [this] {
        ++retries_;
        retry();
    });
    QDir().mkpath(cacheFolder);
    auto* cache = new QNetworkDiskCache(network_);
    cache->setCacheDirectory(cacheFolder);
    network_->setCache(cache);
    applyDiskCacheCap();
    connect(network_, &QNetworkAccessManager::finished, this, &TileSource::finished);
}

TileSource::~TileSource() {
    // Replies still on the wire are dropped without a word: nobody waits for them any more.
    disconnect(network_, nullptr, this, nullptr);
    for (QNetworkReply* reply : inFlight_.keys()) reply->abort();
}

void TileSource::setMaxTileBytes(qint64 bytes) {
    maxTileBytes_ = qMax<qint64>(1, bytes);
    applyDiskCacheCap();
}

void TileSource::setDiskCacheBytes(qint64 bytes) {
    diskCacheBytes_ = qMax<qint64>(0, bytes);
    applyDiskCacheCap();
}

// QNetworkDiskCache trims itself to its maximum only before it stores an entry, so the entry
// stored lands on top of it, and entries being written (one per request, each at most a tile)
// are not counted at all. Its maximum leaves room for both under the cap.
void TileSource::applyDiskCacheCap() {
    const qint64 reserve = (kMaxRequests + 1) * (maxTileBytes_ + kCacheEntryOverhead);
    static_cast<QNetworkDiskCache*>(network_->cache())
        ->setMaximumCacheSize(qMax<qint64>(0, diskCacheBytes_ - reserve));
}

void TileSource::setRetryDelays(const QList<int>& milliseconds) {
    if (!milliseconds.isEmpty()) retryDelays_ = milliseconds;
}

int TileSource::pendingRetryMs() const {
    return retryTimer_->isActive() ? retryTimer_->interval() : 0;
}

void TileSource::retryNow() {
    retry();
}

void TileSource::retry() {
    retryTimer_->stop();
    failed_.clear();
    emit retryDue();
}

void TileSource::setDrawnTileSize(int pixels) {
    const int side = qBound(16, pixels, 1024);
    if (side == drawnSize_) return;
    // Tiles decoded for the other size would be drawn blurred or cost more than they should.
    drawnSize_ = side;
    images_.clear();
}

QImage TileSource::decodeTile(const QByteArray& bytes, int drawnSide) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isEmpty() || size.width() > kMaxTileSide || size.height() > kMaxTileSide) return {};
    if (size.width() > drawnSide || size.height() > drawnSide)
        reader.setScaledSize(QSize(qMin(size.width(), drawnSide), qMin(size.height(), drawnSide)));
    return reader.read();
}

bool TileSource::redirectAllowed(const QUrl& from, const QUrl& to) {
    const QString scheme = to.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) return false;
    if (from.scheme().toLower() == QLatin1String("https") && scheme != QLatin1String("https"))
        return false;
    return !to.host().isEmpty() && to.host().compare(from.host(), Qt::CaseInsensitive) == 0;
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
    // The memory cache holds at least twice the tiles in view: a tile on the screen is never
    // pushed out by one that arrives after it, which would be asked for again on the next
    // repaint, and so on without end.
    const qint64 tileBytes = qint64(drawnSize_) * drawnSize_ * 4;
    images_.setMaxCost(qMax(kMemoryCacheBytes, 2 * tileBytes * keep.size()));
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
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply* reply = network_->get(request);
    inFlight_.insert(reply, id);
    // Qt stops reading from the network once this much waits, so a body that never ends is
    // held to at most twice the cap until checkSize() aborts it. Qt counts bytes it holds
    // elsewhere against this size too, so a limit just over the cap could stop the reading
    // short of it (seen at 92 % of the cap): the body would then wait, unread, for the timeout.
    reply->setReadBufferSize(2 * maxTileBytes_);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { checkSize(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { checkSize(reply); });
    connect(reply, &QNetworkReply::redirected, this, [reply](const QUrl& to) {
        if (redirectAllowed(reply->request().url(), to))
            emit reply->redirectAllowed();
        else
            reply->abort();
    });
    // The transfer timeout fires on silence only; a server that sends a byte now and then would
    // hold one of the two connections for good, and with both the whole background.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(deadlineMs_);
}

void TileSource::checkSize(QNetworkReply* reply) {
    if (!reply->isRunning()) return;
    const qint64 held = reply->bytesAvailable();
    peakReplyBytes_ = qMax(peakReplyBytes_, held);
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (held > maxTileBytes_ || (length.isValid() && length.toLongLong() > maxTileBytes_))
        reply->abort();
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
        (status == 0 || (status >= 200 && status < 300)) &&
        reply->bytesAvailable() <= maxTileBytes_)
        image = decodeTile(reply->readAll(), drawnSize_);
    const bool cacheOnly = reply->request().attribute(kCacheOnlyAttribute).toBool();
    // A tile the memory cache refused would be asked for again at every repaint: a failure.
    if (!image.isNull() && images_.insert(id, new QImage(image), image.sizeInBytes())) {
        if (!cacheOnly && offline_) {
            // The server answers again: what failed meanwhile may come now.
            offline_ = false;
            cacheFirst_ = false;
            retries_ = 0;
            emit online();
            retry();
        }
        emit tileReady(id);
    } else if (!cacheOnly && network_->cache()->metaData(reply->url()).isValid()) {
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
    if (!retryTimer_->isActive())
        retryTimer_->start(retryDelays_[std::min<qsizetype>(retries_, retryDelays_.size() - 1)]);
    emit failed(id);
}

}  // namespace velmora
