// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "map/sighting_map.h"
#include "map/web_mercator.h"

namespace velmora {

class TileSource;

// The map itself: background tiles (or a light graticule where there are none), the sightings
// coloured by status, a scale bar and the tiles' attribution. Where dots would pile up, the
// sightings show as density: squares of a few pixels coloured by the share of each status and
// more opaque the more they hold; zoomed in, as dots. While a selection is highlighted the
// rest is grey and faint, and the selection lies on top, larger, with a white halo. The mouse
// wheel and the + and - keys zoom about the cursor, the arrows pan, dragging pans, a click picks
// the nearest dot; a frame inside the edge shows when the keys reach the map.
//
// Each paint asks the SightingMap for the drawing of the view only and draws its dots from small
// prerendered sprites and its density cells as one image, so a frame costs what the view shows,
// never a walk over every sighting; nothing is kept per sighting here.
class MapCanvas : public QWidget {
    Q_OBJECT

  public:
    // The zoom levels the canvas allows: the tile servers' usual range.
    static constexpr int kMinZoom = 1;
    static constexpr int kMaxZoom = 19;
    // How far from a dot, in pixels, a click still picks it.
    static constexpr int kPickRadius = 6;
    // Density: a square of this side holding more dots than kMaxDotsPerCell is drawn as one.
    static constexpr int kCellSide = 6;
    static constexpr int kMaxDotsPerCell = 3;

    explicit MapCanvas(QWidget* parent = nullptr);

    // The sightings drawn (not owned; may be null: nothing drawn) and the tile source the
    // background comes from (not owned; may be null: only the graticule).
    void setSightings(const map::SightingMap* sightings);
    void setTileSource(TileSource* tiles);

    // The colour of each status: the pin palette's (pin_palette.h).
    static QColor statusColour(map::Status status);

    // The statuses drawn, as bits 1 << Status.
    unsigned shownStatuses() const { return shown_; }
    void setStatusShown(map::Status status, bool shown);

    // The view: its zoom and the world pixel (at that zoom) at the top-left corner; the size is
    // the widget's.
    map::View view() const;
    void setView(int zoom, double left, double top);
    // Centres the world rectangle (zoom 0 pixels) at the largest zoom that holds it with a
    // margin; a single spot is shown at a street's zoom. Until the view is moved otherwise, a
    // resize fits it again.
    void fitTo(map::WorldPoint topLeft, map::WorldPoint bottomRight);
    // Zooms by `steps` levels keeping the world point under `anchor` (widget pixels) in place.
    void zoomAbout(QPoint anchor, int steps);

    // A ring around the spot last picked (zoom 0 pixels); nothing: none. A `radiusM` above 0
    // adds a faint disc of that many metres about it (an access point's spread).
    void setMarker(std::optional<map::WorldPoint> spot, double radiusM = 0);

    // The dots and density cells of the last paint, as SightingMap::drawing gave them.
    const std::vector<map::Dot>& paintedDots() const { return drawing_.dots; }
    const std::vector<map::DensityCell>& paintedCells() const { return drawing_.cells; }

    // The map as it shows, without the focus frame: for saving as an image.
    QImage snapshot();

  signals:
    // A click: the record numbers of the nearest dot and of every dot on its spot (empty when
    // nothing lies within kPickRadius).
    void picked(const std::vector<std::uint32_t>& numbers);
    // The position under the cursor, or left the map.
    void cursorMoved(double latitude, double longitude);
    void cursorLeft();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void paintTiles(QPainter& painter);
    void paintGraticule(QPainter& painter);
    void paintDots(QPainter& painter);
    void paintCells(QPainter& painter, bool highlighted, bool subdued);
    void paintFocus(QPainter& painter);
    void paintScaleBar(QPainter& painter);
    void paintAttribution(QPainter& painter);
    void moveView(int zoom, double left, double top);
    void applyFit();
    void clampView();
    void reportCursor(QPoint at);

    const map::SightingMap* sightings_ = nullptr;
    TileSource* tiles_ = nullptr;
    unsigned shown_ = (1u << map::kStatusCount) - 1;
    int zoom_ = 2;
    double left_ = 0;  // world pixels at zoom_
    double top_ = 0;
    std::optional<std::pair<map::WorldPoint, map::WorldPoint>> fitted_;  // while it holds
    std::optional<map::WorldPoint> marker_;
    double markerRadiusM_ = 0;

    // Dragging: where the press was, and the view's corner then.
    bool pressed_ = false;
    bool dragged_ = false;
    QPoint pressAt_;
    double pressLeft_ = 0;
    double pressTop_ = 0;
    int wheelAngle_ = 0;  // eighths of a degree not yet turned into a zoom step

    // Dot sprites by status: drawn as they are while nothing is highlighted, larger with a
    // halo for a highlighted dot; one faint grey sprite for the dots outside a highlight.
    std::array<QPixmap, map::kStatusCount> sprites_;
    std::array<QPixmap, map::kStatusCount> selectedSprites_;
    QPixmap faintSprite_;
    map::Drawing drawing_;
    bool snapshot_ = false;  // painting for snapshot(): no focus frame
};

}  // namespace velmora
