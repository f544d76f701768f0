// SPDX-License-Identifier: GPL-3.0-or-later
// The background tiles against a tile server the test starts on 127.0.0.1; nothing here
// reaches any other address.
#include "platform/tile_source.h"

#include <QNetworkProxy>
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

// Waits until `spy` has seen `count` signals.
bool waitForCount(QSignalSpy& spy, int count) {
    while (spy.count() < count)
        if (!spy.wait(kWaitMs)) return false;
    return true;
}

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
    // program and its version, and a tile at hand is not asked for again.
    void pathAndUserAgent() {
        TileSource source(server_->urlTemplate(), cache_->path());
        QSignalSpy ready(&source, &TileSource::tileReady);
        const TileId id{13, 4401, 2686};
        QVERIFY(source.tile(id).isNull());
        QVERIFY(source.tile(id).isNull());  // asked again while on its way: still one request
        QVERIFY(waitForCount(ready, 1));
        QCOMPARE(ready.at(0).at(0).value<TileId>(), id);
        const QImage image = source.tile(id);
        QCOMPARE(image.size(), QSize(256, 256));
        QCOMPARE(paths(*server_), QStringList{pathOf(id)});
        const QString agent = server_->requests().at(0).userAgent;
        QVERIFY2(QRegularExpression(QStringLiteral("^Velmora/2004(\\.\\d+)+ \\(.+\\)$"))
                     .match(agent)
                     .hasMatch(),
                 qPrintable(agent));
        QVERIFY(!source.isOffline());
    }

    // However many tiles are wanted at once, no more than two connections are open and two
    // requests outstanding; after the first two, the newest wish goes first. The two requests
    // of a pair may reach the server in either order.
    void twoRequestsAtMostNewestFirst() {
        server_->setDelay(50);
        TileSource source(server_->urlTemplate(), cache_->path());
        QSignalSpy ready(&source, &TileSource::tileReady);
        for (int x = 0; x < 12; ++x) QVERIFY(source.tile({5, x, 7}).isNull());
        QVERIFY(waitForCount(ready, 12));
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
        QVERIFY(server_->maxOutstandingRequests() <= 2);
    }

    // Tiles beyond the world's edges (a view wider than the world) are never asked for and
    // do not count as failures.
    void outsideTheWorld() {
        TileSource source(server_->urlTemplate(), cache_->path());
        QSignalSpy ready(&source, &TileSource::tileReady);
        for (const TileId id : {TileId{3, 8, 0}, TileId{3, -1, 2}, TileId{3, 0, 8},
                                TileId{3, 2, -1}, TileId{-1, 0, 0}, TileId{31, 0, 0}})
            QVERIFY(source.tile(id).isNull());
        QCOMPARE(source.queuedCount(), 0);
        source.tile({3, 7, 7});
        QVERIFY(waitForCount(ready, 1));
        QCOMPARE(paths(*server_), QStringList{pathOf({3, 7, 7})});
        QVERIFY(!source.isOffline());
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
        QTest::newRow("fresh, server gone")
            << QByteArray("Cache-Control: max-age=3600\r\n") << true << 0;
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
        {
            TileSource first(server_->urlTemplate(), cache_->path());
            QSignalSpy ready(&first, &TileSource::tileReady);
            first.tile(id);
            QVERIFY(waitForCount(ready, 1));
        }
        QCOMPARE(server_->requests().size(), 1);
        if (serverGone) server_->stop();
        TileSource second(server_->urlTemplate(), cache_->path());
        QSignalSpy ready(&second, &TileSource::tileReady);
        QSignalSpy offline(&second, &TileSource::offline);
        QVERIFY(second.tile(id).isNull());  // the memory cache is the first run's own
        QTRY_VERIFY_WITH_TIMEOUT(ready.count() == 1 || offline.count() > 0, kWaitMs);
        QCOMPARE(second.tile(id).size(), QSize(256, 256));
        QCOMPARE(server_->requests().size(), 1 + requestsSecondRun);
        QCOMPARE(offline.count(), 0);
    }

    // Once the server has not answered, an expired tile on disk shows at once: no request,
    // no waiting for a timeout (here long enough to fail the test).
    void noAnswerThenDiskFirst() {
        const TileId onDisk{11, 1100, 671}, missing{11, 1101, 671};
        server_->setExtraHeaders("Expires: Thu, 01 Jan 2004 00:00:00 GMT\r\n");
        {
            TileSource first(server_->urlTemplate(), cache_->path());
            QSignalSpy ready(&first, &TileSource::tileReady);
            first.tile(onDisk);
            QVERIFY(waitForCount(ready, 1));
        }
        server_->setAnswer(Answer::Silent);
        TileSource second(server_->urlTemplate(), cache_->path());
        QSignalSpy ready(&second, &TileSource::tileReady);
        QSignalSpy offline(&second, &TileSource::offline);
        second.setTimeout(300);
        second.tile(missing);
        QVERIFY(waitForCount(offline, 1));
        second.setTimeout(10 * kWaitMs);
        second.tile(onDisk);
        QVERIFY(waitForCount(ready, 1));
        QCOMPARE(paths(*server_), (QStringList{pathOf(onDisk), pathOf(missing)}));
    }

    // Any failure: offline() once for all the failed tiles, and a failed tile is not asked for
    // again; other tiles still are, so the background comes back where the server has it.
    void failureGoesOfflineOnce_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("refused");
        QTest::newRow("404") << int(Answer::NotFound) << false;
        QTest::newRow("not an image") << int(Answer::Broken) << false;
        QTest::newRow("no answer") << int(Answer::Silent) << false;
        QTest::newRow("connection refused") << int(Answer::Tile) << true;
    }
    void failureGoesOfflineOnce() {
        QFETCH(int, answer);
        QFETCH(bool, refused);
        server_->setAnswer(Answer(answer));
        if (refused) server_->stop();
        TileSource source(server_->urlTemplate(), cache_->path());
        source.setTimeout(500);
        QSignalSpy offline(&source, &TileSource::offline);
        QSignalSpy ready(&source, &TileSource::tileReady);
        const TileId a{4, 8, 5}, b{4, 9, 5}, c{4, 10, 5};
        source.tile(a);
        source.tile(b);
        QVERIFY(waitForCount(offline, 1));
        QTRY_VERIFY_WITH_TIMEOUT(source.hasFailed(a) && source.hasFailed(b), kWaitMs);
        QVERIFY(source.isOffline());
        const qsizetype asked = server_->requests().size();
        QCOMPARE(asked, refused ? 0 : 2);

        server_->setAnswer(Answer::Tile);
        QVERIFY(server_->start());
        QVERIFY(source.tile(a).isNull());
        QCOMPARE(source.queuedCount(), 0);
        source.tile(c);
        QVERIFY(waitForCount(ready, 1));
        QCOMPARE(ready.at(0).at(0).value<TileId>(), c);
        QCOMPARE(paths(*server_).mid(asked), QStringList{pathOf(c)});
        QCOMPARE(offline.count(), 1);
        QCOMPARE(ready.count(), 1);
    }

    // When the view moves on, queued tiles it no longer shows are not fetched; the ones on
    // the wire finish; a dropped tile can be asked for again later.
    void keepOnlyDropsQueued() {
        server_->setDelay(200);
        TileSource source(server_->urlTemplate(), cache_->path());
        QSignalSpy ready(&source, &TileSource::tileReady);
        for (int y = 0; y < 6; ++y) source.tile({6, 1, y});
        QCOMPARE(source.queuedCount(), 4);
        source.keepOnly({{6, 1, 5}, {6, 1, 0}, {6, 9, 9}});
        QCOMPARE(source.queuedCount(), 1);
        QVERIFY(waitForCount(ready, 3));
        const QStringList asked = paths(*server_);
        QCOMPARE(QSet<QString>(asked.begin(), asked.end()),
                 (QSet<QString>{pathOf({6, 1, 0}), pathOf({6, 1, 1}), pathOf({6, 1, 5})}));
        QVERIFY(source.tile({6, 1, 3}).isNull());
        QVERIFY(waitForCount(ready, 4));
        QVERIFY(!source.tile({6, 1, 3}).isNull());
        QVERIFY(!source.isOffline());
    }

    // The environment overrides the setting, which overrides the standard tiles.
    void configuredTemplate() {
        const QString fromSetting = QStringLiteral("https://tiles.example.org/{z}/{x}/{y}.png");
        const QString fromEnvironment = QStringLiteral("http://127.0.0.1:1/{z}/{x}/{y}.png");
        // clang-format off
        const struct { const char* name; QString setting, environment, expected; } rows[] = {
            {"neither", {}, {}, QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png")},
            {"setting", fromSetting, {}, fromSetting},
            {"both", fromSetting, fromEnvironment, fromEnvironment},
            {"environment", {}, fromEnvironment, fromEnvironment}};
        // clang-format on
        for (const auto& r : rows) {
            QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                               QStringLiteral("Velmora"), QStringLiteral("velmora"));
            r.setting.isEmpty() ? settings.remove(QStringLiteral("map/tileUrl"))
                                : settings.setValue(QStringLiteral("map/tileUrl"), r.setting);
            settings.sync();
            r.environment.isEmpty() ? qunsetenv("VELMORA_TILE_URL")
                                    : qputenv("VELMORA_TILE_URL", r.environment.toUtf8());
            QVERIFY2(TileSource::configuredUrlTemplate() == r.expected, r.name);
        }
        qunsetenv("VELMORA_TILE_URL");
    }

  private:
    QTemporaryDir settings_;
    std::unique_ptr<QTemporaryDir> cache_;
    std::unique_ptr<LoopbackTileServer> server_;
};

QTEST_MAIN(TileSourceTest)
#include "tile_source_test.moc"
