// SPDX-License-Identifier: GPL-3.0-or-later
// The background tiles against a tile server the test starts on 127.0.0.1; nothing here
// reaches any other address.
#include "platform/tile_source.h"

#include <QBuffer>
#include <QDirIterator>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>
#include <memory>

#include "support/loopback_tile_server.h"

using velmora::LoopbackTileServer;
using velmora::TileSource;
using velmora::map::TileId;
using Answer = LoopbackTileServer::Answer;

namespace {

constexpr int kWaitMs = 60000;  // generous: the machine is slow and busy

QString pathOf(TileId id) {
    return QStringLiteral("/%1/%2/%3.png").arg(id.zoom).arg(id.x).arg(id.y);
}

QStringList paths(const LoopbackTileServer& server) {
    QStringList list;
    for (const auto& request : server.requests()) list << request.path;
    return list;
}

// A PNG of the given size: one colour, or noise, which PNG cannot compress.
QByteArray png(int width, int height, bool noise = false) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 220, 180));
    if (noise) {
        QRandomGenerator random(7);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) image.setPixel(x, y, random.generate() | 0xff000000);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The bytes and the number of files under `folder`.
std::pair<qint64, int> folderSize(const QString& folder) {
    qint64 bytes = 0;
    int files = 0;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        it.next();
        bytes += it.fileInfo().size();
        ++files;
    }
    return {bytes, files};
}

// Waits until `spy` has seen `count` signals.
bool waitForCount(const QSignalSpy& spy, int count) {
    return QTest::qWaitFor([&] { return spy.count() >= count; }, kWaitMs);
}

// A _data function naming a table's rows; the test takes its row by number.
template <typename T, std::size_t N>
void rows(const T (&table)[N]) {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i) QTest::newRow(table[i].name) << static_cast<int>(i);
}

// A tile source on a test's server and cache folder, with spies on what it tells.
struct Watched {
    Watched(const LoopbackTileServer& server, const QTemporaryDir& cache)
        : source(server.urlTemplate(), cache.path()) {}
    TileSource source;
    QSignalSpy ready{&source, &TileSource::tileReady}, offline{&source, &TileSource::offline};
};

// A failure of the server (or of its answer): the answer, whether the port refuses connections,
// a body (a noisy PNG of that side) or a redirect target, and whether the disk cache may keep
// the answer (it is complete).
// clang-format off
const struct Failure {
    const char* name; Answer answer; bool refused = false; int noiseSide = 0;
    const char* location = nullptr; bool kept = false;
} kFailures[] = {
    {"403 with a tile as its body", Answer::ForbiddenTile},
    {"404 with a tile as its body", Answer::NotFoundTile},
    {"not an image", Answer::Broken, false, 0, nullptr, true},
    {"no answer", Answer::Silent},
    {"connection refused", Answer::Tile, true},
    {"body without end", Answer::Endless},
    {"1 GiB announced", Answer::Oversized},
    {"tile just over the cap", Answer::Tile, false, 320},
    {"trickle past the deadline", Answer::Trickle},
    {"redirect to a file", Answer::Redirect, false, 0, "file:///etc/hostname"}};
// clang-format on

}  // namespace

class TileSourceTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // A proxy from the environment would carry the requests away from the loopback address.
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_.path());
    }
    void init() {
        cache_ = std::make_unique<QTemporaryDir>();
        server_ = std::make_unique<LoopbackTileServer>();
        QVERIFY(server_->start());
    }

    // The server's usage policy: the template's path for the tile, a User-Agent naming the
    // program and its version, and a tile at hand is not asked for again. Tiles beyond the
    // world's edges (a view wider than the world) are never asked for and are no failures.
    void pathAndUserAgent() {
        Watched t(*server_, *cache_);
        for (const TileId id : {TileId{3, 8, 0}, TileId{3, -1, 2}, TileId{3, 0, 8},
                                TileId{3, 2, -1}, TileId{-1, 0, 0}, TileId{31, 0, 0}})
            QVERIFY(t.source.tile(id).isNull());
        QCOMPARE(t.source.queuedCount(), 0);
        const TileId id{13, 8191, 8191};  // the last tile of its zoom
        QVERIFY(t.source.tile(id).isNull());
        QVERIFY(t.source.tile(id).isNull());  // asked again while on its way: still one request
        QVERIFY(waitForCount(t.ready, 1));
        QCOMPARE(t.ready.at(0).at(0).value<TileId>(), id);
        QCOMPARE(t.source.tile(id).size(), QSize(256, 256));
        QCOMPARE(paths(*server_), QStringList{pathOf(id)});
        const QString agent = server_->requests().at(0).userAgent;
        QVERIFY2(QRegularExpression(QStringLiteral("^Velmora/2004(\\.\\d+)+ \\(.+\\)$"))
                     .match(agent)
                     .hasMatch(),
                 qPrintable(agent));
        QVERIFY(!t.source.isOffline());
    }

    // However many tiles are wanted at once, no more than two connections are open and two
    // requests outstanding; after the first two, the newest wish goes first. The two requests
    // of a pair may reach the server in either order.
    void twoRequestsAtMostNewestFirst() {
        server_->setDelay(50);
        Watched t(*server_, *cache_);
        for (int x = 0; x < 12; ++x) QVERIFY(t.source.tile({5, x, 7}).isNull());
        QVERIFY(waitForCount(t.ready, 12));
        const QStringList asked = paths(*server_);
        QCOMPARE(asked.size(), 12);
        const int expected[] = {0, 1, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
        for (int i = 0; i < 12; i += 2) {
            const QSet<QString> pair{asked[i], asked[i + 1]};
            QCOMPARE(pair,
                     (QSet<QString>{pathOf({5, expected[i], 7}), pathOf({5, expected[i + 1], 7})}));
        }
        QVERIFY2(server_->maxOpenConnections() <= 2,
                 qPrintable(QString::number(server_->maxOpenConnections())));
    }

    // A second run on the same cache folder: a tile the server let keep is taken from the
    // disk without asking; an expired one is asked for again while the server is there, and
    // still shows when it is gone.
    void diskCache_data() {
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<bool>("serverGone");
        QTest::addColumn<int>("requestsSecondRun");
        QTest::newRow("fresh, server there")
            << QByteArray("Cache-Control: max-age=3600\r\n") << false << 0;
        const QByteArray expired = "Expires: Thu, 01 Jan 2004 00:00:00 GMT\r\n";
        QTest::newRow("expired, server there") << expired << false << 1;
        QTest::newRow("expired, server gone") << expired << true << 0;
    }
    void diskCache() {
        QFETCH(QByteArray, headers);
        QFETCH(bool, serverGone);
        QFETCH(int, requestsSecondRun);
        server_->setExtraHeaders(headers);
        const TileId id{9, 271, 170};
        QVERIFY(fetchedOnce(id));
        QCOMPARE(server_->requests().size(), 1);
        if (serverGone) server_->stop();
        Watched second(*server_, *cache_);
        QVERIFY(second.source.tile(id).isNull());  // the memory cache is the first run's own
        QTRY_VERIFY_WITH_TIMEOUT(second.ready.count() == 1 || second.offline.count() > 0, kWaitMs);
        QCOMPARE(second.source.tile(id).size(), QSize(256, 256));
        QCOMPARE(server_->requests().size(), 1 + requestsSecondRun);
        QCOMPARE(second.offline.count(), 0);
    }

    // Once the server has not answered, an expired tile on disk shows at once: no request,
    // no waiting for a timeout (here long enough to fail the test).
    void noAnswerThenDiskFirst() {
        const TileId onDisk{11, 1100, 671}, missing{11, 1101, 671};
        server_->setExtraHeaders("Expires: Thu, 01 Jan 2004 00:00:00 GMT\r\n");
        QVERIFY(fetchedOnce(onDisk));
        server_->setAnswer(Answer::Silent);
        Watched second(*server_, *cache_);
        second.source.setTimeout(300);
        second.source.tile(missing);
        QVERIFY(waitForCount(second.offline, 1));
        second.source.setTimeout(10 * kWaitMs);
        second.source.tile(onDisk);
        QVERIFY(waitForCount(second.ready, 1));
        QCOMPARE(paths(*server_), (QStringList{pathOf(onDisk), pathOf(missing)}));
    }

    // Any failure: offline() once for all the failed tiles, and a failed tile is not asked for
    // again; other tiles still are, so the background comes back where the server has it. What
    // a failure cost stays bounded: a reply held at most about the tile cap, no decoded image
    // is kept, the disk cache stays under its cap and keeps nothing of an aborted reply.
    void failureGoesOfflineOnce_data() { rows(kFailures); }
    void failureGoesOfflineOnce() {
        QFETCH(int, row);
        const Failure& f = kFailures[row];
        server_->setAnswer(f.answer);
        server_->setTilePng(f.noiseSide ? png(f.noiseSide, f.noiseSide, true) : QByteArray());
        server_->setRedirectTarget(f.location);
        if (f.refused) server_->stop();
        constexpr qint64 kTileCap = 256 << 10, kDiskCap = 2 << 20;
        Watched t(*server_, *cache_);
        TileSource& source = t.source;
        // Silence; the trickle is never silent that long. A body without end must be cut by
        // its size alone: neither the silence nor the deadline may come first.
        const bool endless = f.answer == Answer::Endless;
        source.setTimeout(endless ? 10 * kWaitMs : 1000);
        source.setDeadline(endless ? 10 * kWaitMs : 1500);
        source.setMaxTileBytes(kTileCap);
        source.setDiskCacheBytes(kDiskCap);
        const TileId a{4, 8, 5}, b{4, 9, 5}, c{4, 10, 5};
        source.tile(a);
        source.tile(b);
        QVERIFY(waitForCount(t.offline, 1));
        QTRY_VERIFY_WITH_TIMEOUT(source.hasFailed(a) && source.hasFailed(b), kWaitMs);
        QVERIFY(source.isOffline());
        const qsizetype asked = server_->requests().size();
        QCOMPARE(asked, f.refused ? 0 : 2);
        // A body of a known length over the cap is refused by its header, before any is held.
        QVERIFY2(source.peakReplyBytes() <= (f.noiseSide ? kTileCap : 2 * kTileCap),
                 qPrintable(QString::number(source.peakReplyBytes())));
        QCOMPARE(source.memoryBytes(), 0);
        const auto [cacheBytes, cacheFiles] = folderSize(cache_->path());
        QVERIFY(cacheBytes <= kDiskCap);
        if (!f.kept) QCOMPARE(cacheFiles, 0);
        // A body that never ends is not read on: its connection is closed.
        if (endless || f.answer == Answer::Oversized || f.answer == Answer::Trickle)
            QTRY_COMPARE_WITH_TIMEOUT(server_->openConnections(), 0, kWaitMs);

        server_->setAnswer(Answer::Tile);
        server_->setTilePng({});
        QVERIFY(server_->start());
        QVERIFY(source.tile(a).isNull());
        QCOMPARE(source.queuedCount(), 0);
        source.tile(c);
        QVERIFY(waitForCount(t.ready, 1));
        QCOMPARE(t.ready.at(0).at(0).value<TileId>(), c);
        QCOMPARE(paths(*server_).mid(asked), QStringList{pathOf(c)});
        QCOMPARE(t.offline.count(), 1);
        QCOMPARE(t.ready.count(), 1);
    }

    // A redirect the rule allows (redirectAllowed) is followed, here to another port of the
    // same host; one it refuses fails the tile (failureGoesOfflineOnce).
    void redirectOnTheHostIsFollowed() {
        LoopbackTileServer target;
        QVERIFY(target.start());
        server_->setAnswer(Answer::Redirect);
        server_->setRedirectTarget(
            QStringLiteral("http://127.0.0.1:%1/7/1/2.png").arg(target.port()).toLatin1());
        Watched t(*server_, *cache_);
        t.source.tile({7, 3, 3});
        QVERIFY(waitForCount(t.ready, 1));
        QCOMPARE(paths(target), QStringList{QStringLiteral("/7/1/2.png")});
    }

    // Where a redirect may lead: the same host, never down from https, never another scheme.
    void redirectAllowed() {
        const QUrl from(QStringLiteral("https://tile.example.org/1/2/3.png"));
        // clang-format off
        const struct { const char* to; bool allowed; } rows[] = {
            {"https://tile.example.org/a/1/2/3.png", true},
            {"https://TILE.example.org:8443/1/2/3.png", true},
            {"http://tile.example.org/1/2/3.png", false},
            {"https://cdn.example.org/1/2/3.png", false},
            {"ftp://tile.example.org/1/2/3.png", false}};
        // clang-format on
        for (const auto& r : rows)
            QVERIFY2(
                TileSource::redirectAllowed(from, QUrl(QString::fromLatin1(r.to))) == r.allowed,
                r.to);
        QVERIFY(TileSource::redirectAllowed(QUrl(QStringLiteral("http://a.example/1.png")),
                                            QUrl(QStringLiteral("https://a.example/1.png"))));
    }

    // Images are decoded to the size they are drawn at; larger than any tile, or no image, they
    // are refused.
    void decodeTile() {
        // clang-format off
        const struct { int width, height, drawn; QSize decoded; } rows[] = {
            {512, 512, 256, {256, 256}},
            {512, 512, 512, {512, 512}},
            {256, 256, 512, {256, 256}},
            {2048, 2048, 256, {256, 256}},
            {2049, 16, 256, {0, 0}},
            {16, 60000, 256, {0, 0}}};
        // clang-format on
        for (const auto& r : rows) {
            const QImage image = TileSource::decodeTile(png(r.width, r.height), r.drawn);
            QVERIFY2(image.size() == r.decoded,
                     qPrintable(QStringLiteral("%1x%2").arg(r.width).arg(r.height)));
        }
        QVERIFY(TileSource::decodeTile("<html>not an image</html>", 256).isNull());
    }

    // 512-pixel tiles in a large view: every tile arrives, once, decoded to its cell, and the
    // memory cache keeps the whole view however large it is (here larger than its usual size
    // at 512 device pixels a cell): repainting asks for nothing more.
    void largeTilesInALargeView() {
        constexpr int drawn = 512, columns = 10, rows = 7;  // 70 MiB decoded
        server_->setTilePng(png(512, 512));
        TileSource source(server_->urlTemplate(), cache_->path());
        source.setDrawnTileSize(drawn);
        QList<TileId> view;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) view.append({8, 100 + x, 90 + y});
        int misfits = 0;
        const auto repaint = [&] {
            int shown = 0;
            for (const TileId& id : view) {
                const QImage image = source.tile(id);
                shown += !image.isNull();
                misfits += !image.isNull() && image.size() != QSize(drawn, drawn);
            }
            source.keepOnly(view);
            return shown;
        };
        connect(&source, &TileSource::tileReady, &source, repaint);
        repaint();
        QTRY_COMPARE_WITH_TIMEOUT(repaint(), int(view.size()), kWaitMs);
        QTest::qWait(200);
        QCOMPARE(repaint(), int(view.size()));
        QCOMPARE(misfits, 0);
        const QStringList asked = paths(*server_);
        QCOMPARE(asked.size(), view.size());
        QCOMPARE(QSet<QString>(asked.begin(), asked.end()).size(), view.size());
        QVERIFY(source.memoryBytes() <= view.size() * drawn * drawn * 4);
        QVERIFY(!source.isOffline());
    }

    // Many tiles through a small disk cache: the folder never holds more than its cap, while
    // the tiles keep coming.
    void diskCacheStaysUnderItsCap() {
        constexpr qint64 kDiskCap = 1 << 20;
        const QByteArray tile = png(128, 128, true);  // about 48 KiB
        server_->setTilePng(tile);
        server_->setExtraHeaders("Cache-Control: max-age=3600\r\n");
        Watched t(*server_, *cache_);
        t.source.setMaxTileBytes(64 << 10);
        t.source.setDiskCacheBytes(kDiskCap);
        qint64 largest = 0;
        connect(&t.source, &TileSource::tileReady, &t.source,
                [&] { largest = qMax(largest, folderSize(cache_->path()).first); });
        constexpr int kTiles = 48;
        for (int x = 0; x < kTiles; ++x) t.source.tile({6, x, 1});
        QVERIFY(waitForCount(t.ready, kTiles));
        QVERIFY2(kTiles * tile.size() > 2 * kDiskCap, "the tiles fill the cache twice over");
        QVERIFY2(largest <= kDiskCap, qPrintable(QString::number(largest)));
        QVERIFY(folderSize(cache_->path()).first > kDiskCap / 4);
    }

    // When the view moves on, queued tiles it no longer shows are not fetched; the ones on
    // the wire finish; a dropped tile can be asked for again later.
    void keepOnlyDropsQueued() {
        server_->setDelay(200);
        Watched t(*server_, *cache_);
        TileSource& source = t.source;
        for (int y = 0; y < 6; ++y) source.tile({6, 1, y});
        QCOMPARE(source.queuedCount(), 4);
        source.keepOnly({{6, 1, 5}, {6, 1, 0}, {6, 9, 9}});
        QCOMPARE(source.queuedCount(), 1);
        QVERIFY(waitForCount(t.ready, 3));
        const QStringList asked = paths(*server_);
        QCOMPARE(QSet<QString>(asked.begin(), asked.end()),
                 (QSet<QString>{pathOf({6, 1, 0}), pathOf({6, 1, 1}), pathOf({6, 1, 5})}));
        QVERIFY(source.tile({6, 1, 3}).isNull());
        QVERIFY(waitForCount(t.ready, 4));
        QVERIFY(!source.tile({6, 1, 3}).isNull());
        QVERIFY(!source.isOffline());
    }

    // Failed tiles are asked for again after a back-off that grows to its last step and stays
    // there, or at once on retryNow(); offline lasts while the last request failed, and the
    // first answer ends it and the back-off.
    void retriesAfterBackOff_data() {
        QTest::addColumn<bool>("now");
        QTest::newRow("back-off") << false;
        QTest::newRow("retry now") << true;
    }
    void retriesAfterBackOff() {
        QFETCH(bool, now);
        server_->setAnswer(Answer::NotFound);
        Watched t(*server_, *cache_);
        TileSource& source = t.source;
        if (!now) source.setRetryDelays({5, 10, 20});
        QSignalSpy due(&source, &TileSource::retryDue);
        QSignalSpy online(&source, &TileSource::online);
        const TileId id{7, 64, 42};
        QList<int> waited;  // the wait due as each failure is reported
        connect(&source, &TileSource::failed, this, [&] {
            QVERIFY(source.isOffline() && source.tile(id).isNull());
            waited << source.pendingRetryMs();
            if (now) source.retryNow();
        });
        const QList<int> waits = now ? QList<int>{30000} : QList<int>{5, 10, 20, 20};
        for (qsizetype i = 0; i < waits.size(); ++i) {
            QVERIFY(source.tile(id).isNull());
            QVERIFY(waitForCount(due, int(i) + 1));
            QVERIFY(!source.hasFailed(id));
        }
        QCOMPARE(waited, waits);
        server_->setAnswer(Answer::Tile);
        QVERIFY(source.tile(id).isNull());
        QVERIFY(waitForCount(t.ready, 1));
        QVERIFY(!source.isOffline());
        QCOMPARE(online.count(), 1);
        QCOMPARE(source.pendingRetryMs(), 0);
        QCOMPARE(server_->requests().size(), waits.size() + 1);
    }

    // The environment overrides the setting, which overrides the standard tiles.
    void configuredTemplate() {
        const QString fromSetting = QStringLiteral("https://tiles.example.org/{z}/{x}/{y}.png");
        qunsetenv("VELMORA_TILE_URL");
        QCOMPARE(TileSource::configuredUrlTemplate(),
                 QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png"));
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Velmora", "velmora")
            .setValue(QStringLiteral("map/tileUrl"), fromSetting);
        QCOMPARE(TileSource::configuredUrlTemplate(), fromSetting);
        qputenv("VELMORA_TILE_URL", "http://127.0.0.1:1/{z}/{x}/{y}.png");
        QCOMPARE(TileSource::configuredUrlTemplate(), "http://127.0.0.1:1/{z}/{x}/{y}.png");
        qunsetenv("VELMORA_TILE_URL");
    }

  private:
    // A first run on the cache folder that fetches `id` and ends.
    bool fetchedOnce(TileId id) {
        Watched first(*server_, *cache_);
        first.source.tile(id);
        return waitForCount(first.ready, 1);
    }

    QTemporaryDir settings_;
    std::unique_ptr<QTemporaryDir> cache_;
    std::unique_ptr<LoopbackTileServer> server_;
};

QTEST_MAIN(TileSourceTest)
#include "tile_source_test.moc"
