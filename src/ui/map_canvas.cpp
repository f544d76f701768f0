// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/map_canvas.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "platform/tile_source.h"
#include "sightings/pin_palette.h"

namespace velmora {

namespace {

constexpr int kDotRadius = 5;
constexpr int kFaintRadius = 3;
constexpr int kSelectedRadius = 7;
constexpr int kHaloWidth = 3;
constexpr int kFitMargin = 24;   // pixels kept free around fitted sightings
constexpr int kStreetZoom = 17;  // a single spot, or a fit that would zoom in further
constexpr int kDragThreshold = 3;
constexpr int kWheelStep = 120;  // eighths of a degree: one notch of a usual wheel

const QColor kPaper(244, 243, 239);
const QColor kGraticule(206, 210, 202);
const QColor kGraticuleText(150, 154, 146);
const QColor kOverlay(255, 255, 255, 215);

double worldSize(int zoom) {
    return map::kTileSize * std::ldexp(1.0, zoom);
}

// A dot of `radius` around the sprite's centre pixel, in a sprite wide enough for a white halo
// of `halo` pixels around it.
QPixmap dotSprite(const QColor& fill, int radius, bool outline, int halo = 0) {
    const int size = 2 * (radius + halo) + 1;
    QPixmap sprite(size, size);
    sprite.fill(Qt::transparent);
    QPainter p(&sprite);
    p.setRenderHint(QPainter::Antialiasing);
    if (halo > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 235));
        p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    }
    p.setPen(outline ? QPen(QColor(30, 30, 30, 220), halo > 0 ? 1.5 : 1.0) : Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QRectF(halo + 0.5, halo + 0.5, 2 * radius, 2 * radius));
    radius += halo;  // the centre pixel's distance from the sprite's edge
    // The centre pixel carries the status colour exactly, whatever the antialiasing did.
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(radius - 1, radius - 1, 3, 3), fill);
    return sprite;
}

// A density cell's colour: the statuses' colours mixed by their shares, more opaque the more
// sightings it holds (fully from 256 on); grey and faint when it lies outside a highlight.
QRgb cellColour(const map::DensityCell& cell, bool subdued) {
    double total = 0, red = 0, green = 0, blue = 0;
    for (int s = 0; s < map::kStatusCount; ++s) {
        const double n = cell.counts[static_cast<std::size_t>(s)];
        const PinColour c = kPinStyles[static_cast<std::size_t>(s)].colour;
        total += n;
        red += n * c.red;
        green += n * c.green;
        blue += n * c.blue;
    }
    if (total <= 0) return 0;
    const double fill = std::min(1.0, std::log2(total) / 8);
    if (subdued) return qPremultiply(qRgba(128, 128, 128, static_cast<int>(50 + 40 * fill)));
    return qPremultiply(qRgba(static_cast<int>(red / total), static_cast<int>(green / total),
                              static_cast<int>(blue / total), static_cast<int>(150 + 105 * fill)));
}

// The graticule's spacing in degrees: the smallest of a 1-2-5 series whose lines lie at least
// `minimum` pixels apart at `zoom`.
double graticuleSpacing(int zoom, double minimum) {
    const double pixelsPerDegree = worldSize(zoom) / 360.0;
    for (double step : {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2,
                        0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0})
        if (step * pixelsPerDegree >= minimum) return step;
    return 45.0;
}

QString degreesText(double value, double step, char positive, char negative) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return QStringLiteral("%1\u00b0%2")
        .arg(std::abs(value), 0, 'f', decimals)
        .arg(QChar::fromLatin1(value < 0 ? negative : positive));
}

// A scale bar's length: the longest 1, 2 or 5 times a power of ten metres within `metres`.
double roundDistance(double metres) {
    const double power = std::pow(10.0, std::floor(std::log10(metres)));
    for (double factor : {5.0, 2.0, 1.0})
        if (factor * power <= metres) return factor * power;
    return power;
}

QString distanceText(double metres) {
    return metres >= 1000 ? QStringLiteral("%1 km").arg(metres / 1000)
                          : QStringLiteral("%1 m").arg(metres);
}

}  // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("mapCanvas"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::OpenHandCursor);
    setMinimumSize(320, 240);
    for (int s = 0; s < map::kStatusCount; ++s) {
        const QColor colour = statusColour(static_cast<map::Status>(s));
        sprites_[s] = dotSprite(colour, kDotRadius, true);
        selectedSprites_[s] = dotSprite(colour, kSelectedRadius, true, kHaloWidth);
    }
    faintSprite_ = dotSprite(QColor(128, 128, 128, 80), kFaintRadius, false);
}

QColor MapCanvas::statusColour(map::Status status) {
    const PinColour c = pinStyle(status).colour;
    return QColor(c.red, c.green, c.blue);
}

void MapCanvas::setSightings(const map::SightingMap* sightings) {
    sightings_ = sightings;
    update();
}

void MapCanvas::setTileSource(TileSource* tiles) {
    if (tiles_) disconnect(tiles_, nullptr, this, nullptr);
    tiles_ = tiles;
    if (tiles_) {
        connect(tiles_, &TileSource::tileReady, this, [this] { update(); });
        // Failed tiles may be asked for again: the next paint asks.
        connect(tiles_, &TileSource::retryDue, this, [this] { update(); });
    }
    update();
}

void MapCanvas::setStatusShown(map::Status status, bool shown) {
    const unsigned bit = 1u << static_cast<unsigned>(status);
    shown_ = shown ? (shown_ | bit) : (shown_ & ~bit);
    update();
}

map::View MapCanvas::view() const {
    map::View v;
    v.left = left_;
    v.top = top_;
    v.width = width();
    v.height = height();
    v.zoom = zoom_;
    return v;
}

void MapCanvas::setView(int zoom, double left, double top) {
    fitted_.reset();
    moveView(zoom, left, top);
}

void MapCanvas::moveView(int zoom, double left, double top) {
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    left_ = left;
    top_ = top;
    clampView();
    update();
}

void MapCanvas::fitTo(map::WorldPoint topLeft, map::WorldPoint bottomRight) {
    fitted_ = std::make_pair(topLeft, bottomRight);
    applyFit();
}

void MapCanvas::applyFit() {
    const auto [topLeft, bottomRight] = *fitted_;
    const double spanX = bottomRight.x - topLeft.x, spanY = bottomRight.y - topLeft.y;
    const double roomX = std::max(1, width() - 2 * kFitMargin);
    const double roomY = std::max(1, height() - 2 * kFitMargin);
    int zoom = kMinZoom;
    for (int z = kStreetZoom; z >= kMinZoom; --z) {
        const double scale = std::ldexp(1.0, z);
        if (spanX * scale <= roomX && spanY * scale <= roomY) {
            zoom = z;
            break;
        }
    }
    const double scale = std::ldexp(1.0, zoom);
    moveView(zoom, (topLeft.x + bottomRight.x) / 2 * scale - width() / 2.0,
             (topLeft.y + bottomRight.y) / 2 * scale - height() / 2.0);
}

void MapCanvas::setMarker(std::optional<map::WorldPoint> spot, double radiusM) {
    marker_ = spot;
    markerRadiusM_ = radiusM;
    update();
}

void MapCanvas::zoomAbout(QPoint anchor, int steps) {
    const int zoom = std::clamp(zoom_ + steps, kMinZoom, kMaxZoom);
    if (zoom == zoom_) return;
    const double factor = std::ldexp(1.0, zoom - zoom_);
    setView(zoom, (left_ + anchor.x()) * factor - anchor.x(),
            (top_ + anchor.y()) * factor - anchor.y());
    reportCursor(anchor);
}

void MapCanvas::clampView() {
    // Within the world; a world narrower than the widget is centred in it. The corner stays on
    // whole pixels, so tiles and dots land on the screen's pixel grid.
    const double world = worldSize(zoom_);
    left_ = world <= width() ? (world - width()) / 2 : std::clamp(left_, 0.0, world - width());
    top_ = world <= height() ? (world - height()) / 2 : std::clamp(top_, 0.0, world - height());
    left_ = std::round(left_);
    top_ = std::round(top_);
}

void MapCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kPaper);
    paintGraticule(painter);
    paintTiles(painter);
    paintDots(painter);
    if (marker_) {
        const double scale = std::ldexp(1.0, zoom_);
        const QPointF at(std::floor(marker_->x * scale) - left_ + 0.5,
                         std::floor(marker_->y * scale) - top_ + 0.5);
        painter.setRenderHint(QPainter::Antialiasing);
        if (markerRadiusM_ > 0) {
            double latitude, longitude;
            map::unproject(*marker_, latitude, longitude);
            const double radius = markerRadiusM_ / map::metresPerPixel(latitude, zoom_);
            painter.setPen(QPen(QColor(20, 20, 20, 90), 1));
            painter.setBrush(QColor(20, 20, 20, 28));
            painter.drawEllipse(at, radius, radius);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 255, 255, 230), 4));
        painter.drawEllipse(at, 9, 9);
        painter.setPen(QPen(QColor(20, 20, 20), 2));
        painter.drawEllipse(at, 9, 9);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    paintScaleBar(painter);
    paintAttribution(painter);
    if (hasFocus() && !snapshot_) paintFocus(painter);
}

void MapCanvas::paintFocus(QPainter& painter) {
    QColor colour = palette().color(QPalette::Highlight);
    colour.setAlpha(200);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, 2));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

QImage MapCanvas::snapshot() {
    snapshot_ = true;
    QImage image = grab().toImage();
    snapshot_ = false;
    return image;
}

void MapCanvas::paintTiles(QPainter& painter) {
    if (!tiles_) return;
    // Tiles are decoded to the device pixels of the cell they fill.
    tiles_->setDrawnTileSize(static_cast<int>(std::lround(map::kTileSize * devicePixelRatioF())));
    const int last = (1 << zoom_) - 1;
    const int x0 = std::max(0, static_cast<int>(std::floor(left_ / map::kTileSize)));
    const int y0 = std::max(0, static_cast<int>(std::floor(top_ / map::kTileSize)));
    const int x1 = std::min(last, static_cast<int>(std::floor((left_ + width()) / map::kTileSize)));
    const int y1 = std::min(last, static_cast<int>(std::floor((top_ + height()) / map::kTileSize)));
    QList<map::TileId> wanted;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const map::TileId id{zoom_, x, y};
            wanted.append(id);
            const QImage image = tiles_->tile(id);
            if (!image.isNull())
                painter.drawImage(QRectF(x * map::kTileSize - left_, y * map::kTileSize - top_,
                                         map::kTileSize, map::kTileSize),
                                  image);
        }
    tiles_->keepOnly(wanted);
}

void MapCanvas::paintGraticule(QPainter& painter) {
    const double scale = std::ldexp(1.0, zoom_);
    double north = 0, west = 0, south = 0, east = 0;
    map::unproject({left_ / scale, top_ / scale}, north, west);
    map::unproject({(left_ + width()) / scale, (top_ + height()) / scale}, south, east);
    west = std::max(west, -180.0);
    east = std::min(east, 180.0);
    south = std::max(south, -map::kMaxLatitude);
    north = std::min(north, map::kMaxLatitude);
    const double step = graticuleSpacing(zoom_, 110);

    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    const auto x = [&](double lon) { return map::project(0, lon).x * scale - left_; };
    const auto y = [&](double lat) { return map::project(lat, 0).y * scale - top_; };
    for (double lon = std::ceil(west / step) * step; lon <= east; lon += step) {
        const double px = x(lon);
        painter.setPen(kGraticule);
        painter.drawLine(QPointF(px, y(north)), QPointF(px, y(south)));
        painter.setPen(kGraticuleText);
        painter.drawText(QPointF(px + 3, 12), degreesText(lon, step, 'E', 'W'));
    }
    for (double lat = std::ceil(south / step) * step; lat <= north; lat += step) {
        const double py = y(lat);
        painter.setPen(kGraticule);
        painter.drawLine(QPointF(x(west), py), QPointF(x(east), py));
        painter.setPen(kGraticuleText);
        painter.drawText(QPointF(3, py - 3), degreesText(lat, step, 'N', 'S'));
    }
}

void MapCanvas::paintDots(QPainter& painter) {
    drawing_ = {};
    if (!sightings_) return;
    drawing_ = sightings_->drawing(view(), shown_, kCellSide, kMaxDotsPerCell);
    const bool subdued = sightings_->hasHighlight();
    // Per layer, the cells under the dots; one batch per sprite. The rest first, then the
    // highlight on top.
    std::array<QList<QPainter::PixmapFragment>, map::kStatusCount> batches;
    const auto flush = [&](bool highlighted) {
        for (std::size_t s = 0; s < batches.size(); ++s) {
            if (batches[s].isEmpty()) continue;
            const QPixmap& sprite = highlighted ? selectedSprites_[s]
                                    : subdued   ? faintSprite_
                                                : sprites_[s];
            painter.drawPixmapFragments(batches[s].constData(), static_cast<int>(batches[s].size()),
                                        sprite);
            batches[s].clear();
        }
    };
    for (const bool highlighted : {false, true}) {
        paintCells(painter, highlighted, subdued && !highlighted);
        const int radius = highlighted ? kSelectedRadius + kHaloWidth
                           : subdued   ? kFaintRadius
                                       : kDotRadius;
        for (const map::Dot& dot : drawing_.dots)
            if (dot.highlighted == highlighted)
                batches[static_cast<std::size_t>(dot.status)].append(
                    QPainter::PixmapFragment::create(QPointF(dot.x + 0.5, dot.y + 0.5),
                                                     QRectF(0, 0, 2 * radius + 1, 2 * radius + 1)));
        flush(highlighted);
    }
}

// The density cells of one layer as one image of a pixel per cell, scaled up to the grid.
void MapCanvas::paintCells(QPainter& painter, bool highlighted, bool subdued) {
    const int side = kCellSide;
    // Every cell lies on one grid: its first column and row start at or before the widget's.
    int gridX = 1, gridY = 1;
    for (const map::DensityCell& cell : drawing_.cells)
        if (cell.highlighted == highlighted) {
            gridX = (cell.x % side + side) % side - side;
            gridY = (cell.y % side + side) % side - side;
            break;
        }
    if (gridX > 0) return;
    const int cols = (width() - gridX) / side + 1, rows = (height() - gridY) / side + 1;
    QImage image(cols, rows, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (const map::DensityCell& cell : drawing_.cells) {
        if (cell.highlighted != highlighted) continue;
        const int col = (cell.x - gridX) / side, row = (cell.y - gridY) / side;
        if (col >= 0 && col < cols && row >= 0 && row < rows)
            reinterpret_cast<QRgb*>(image.scanLine(row))[col] = cellColour(cell, subdued);
    }
    painter.drawImage(QRect(gridX, gridY, cols * side, rows * side), image);
}

void MapCanvas::paintScaleBar(QPainter& painter) {
    const double scale = std::ldexp(1.0, zoom_);
    double latitude = 0, longitude = 0;
    map::unproject({(left_ + width() / 2.0) / scale, (top_ + height() / 2.0) / scale}, latitude,
                   longitude);
    const double metresPerPixel = map::metresPerPixel(latitude, zoom_);
    const double metres = roundDistance(metresPerPixel * 120);
    const int length = static_cast<int>(std::lround(metres / metresPerPixel));

    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QString text = distanceText(metres);
    const int textWidth = painter.fontMetrics().horizontalAdvance(text);
    const QRect box(8, height() - 34, std::max(length, textWidth) + 16, 26);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kOverlay);
    painter.drawRoundedRect(box, 4, 4);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(40, 40, 40), 2));
    const int base = box.bottom() - 5, x0 = box.left() + 8;
    painter.drawLine(x0, base, x0 + length, base);
    painter.drawLine(x0, base - 5, x0, base);
    painter.drawLine(x0 + length, base - 5, x0 + length, base);
    painter.drawText(QPoint(x0, base - 7), text);
}

void MapCanvas::paintAttribution(QPainter& painter) {
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QString text = QStringLiteral("\u00a9 OpenStreetMap contributors");
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect box(width() - metrics.horizontalAdvance(text) - 12, height() - metrics.height() - 4,
                    metrics.horizontalAdvance(text) + 12, metrics.height() + 4);
    painter.fillRect(box, kOverlay);
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(box, Qt::AlignCenter, text);
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = true;
    dragged_ = false;
    pressAt_ = event->position().toPoint();
    pressLeft_ = left_;
    pressTop_ = top_;
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (pressed_) {
        const QPoint moved = at - pressAt_;
        if (!dragged_ && moved.manhattanLength() > kDragThreshold) {
            dragged_ = true;
            setCursor(Qt::ClosedHandCursor);
        }
        if (dragged_) setView(zoom_, pressLeft_ - moved.x(), pressTop_ - moved.y());
    }
    reportCursor(at);
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    if (dragged_) {
        setCursor(Qt::OpenHandCursor);
        return;
    }
    const QPoint at = event->position().toPoint();
    std::vector<std::uint32_t> numbers;
    if (sightings_) numbers = sightings_->pick(view(), at.x(), at.y(), kPickRadius, shown_);
    emit picked(numbers);
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
    wheelAngle_ += event->angleDelta().y();
    const int steps = wheelAngle_ / kWheelStep;
    wheelAngle_ -= steps * kWheelStep;
    if (steps != 0) zoomAbout(event->position().toPoint(), steps);
    event->accept();
}

void MapCanvas::keyPressEvent(QKeyEvent* event) {
    const QPoint cursorAt = mapFromGlobal(QCursor::pos());
    const QPoint anchor = rect().contains(cursorAt) ? cursorAt : rect().center();
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomAbout(anchor, 1);
            break;
        case Qt::Key_Minus:
            zoomAbout(anchor, -1);
            break;
        case Qt::Key_Left:
            setView(zoom_, left_ - width() / 4.0, top_);
            break;
        case Qt::Key_Right:
            setView(zoom_, left_ + width() / 4.0, top_);
            break;
        case Qt::Key_Up:
            setView(zoom_, left_, top_ - height() / 4.0);
            break;
        case Qt::Key_Down:
            setView(zoom_, left_, top_ + height() / 4.0);
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void MapCanvas::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void MapCanvas::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void MapCanvas::leaveEvent(QEvent* event) {
    emit cursorLeft();
    QWidget::leaveEvent(event);
}

void MapCanvas::resizeEvent(QResizeEvent* event) {
    if (fitted_) return applyFit();
    // Keep the centre where it was.
    const QSize before = event->oldSize().isValid() ? event->oldSize() : event->size();
    moveView(zoom_, left_ + (before.width() - width()) / 2.0,
             top_ + (before.height() - height()) / 2.0);
}

void MapCanvas::reportCursor(QPoint at) {
    if (!rect().contains(at)) return;
    const double scale = std::ldexp(1.0, zoom_);
    double latitude = 0, longitude = 0;
    map::unproject({(left_ + at.x()) / scale, (top_ + at.y()) / scale}, latitude, longitude);
    emit cursorMoved(latitude, longitude);
}

}  // namespace velmora
