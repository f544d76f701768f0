// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "map/sighting_map.h"
#include "platform/file_dialog.h"
#include "records/vendor_list.h"
#include "ui/advanced_window.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTextBrowser;

namespace velmora {

class MapCanvas;
class TileSource;

// What the map window draws: the loaded log's working file, the vendor list the side panel
// names makers from, the log's file title for the caption, and where the tiles come from.
struct MapWindowPaths {
    std::filesystem::path workingFile;
    std::filesystem::path vendorList;
    QString logTitle;
    QString tileUrlTemplate;
    QString tileCacheFolder;
};

// The map window: every sighting of the loaded log as a dot on a map, coloured by status.
//
//   Object            Shows
//   MapWindow         caption "Velmora 2004 - Map - " and the log's file title
//   showWepOn, showWepOff, showAdHocWepOn, showAdHocWepOff
//                     the legend: a checkbox per status (the pin palette's), with its colour
//                     and count; unchecked hides it; the four counts add up to the dots
//   focus             on the map whenever the window shows, so the keys zoom and pan
//   fitButton         "Fit": the view of every sighting (or of the highlighted selection)
//   clearButton       "Show All": drops the highlight; shown while a selection is highlighted
//   saveImageButton   "Save Image...": the view as a PNG file
//   mapCanvas         the map (map_canvas.h)
//   details           the side panel: the sightings of the last clicked spot
//   statusLine        what the window last did; "Offline: no background" (or "saved tiles only"
//                     while the disk cache serves) with a "Retry" link while the tile server's
//                     last answer failed, the count of sightings again once it answers
//   cursorPosition    the latitude and longitude under the mouse
//
// One dot per sighting, or one per access point (at its strongest sighting) while "One Pin
// Per Access Point" is on: setPerAccessPoint() rebuilds. showSelection() highlights what an
// Advanced window would export and draws the rest faintly.
class MapWindow : public QWidget {
    Q_OBJECT

  public:
    // Reads the working file into the map; a file that cannot be read is reported over
    // `owner` and the map stays empty.
    MapWindow(QWidget& owner, MapWindowPaths paths, bool perAccessPoint,
              ApPosition apPosition = ApPosition::Strongest);
    ~MapWindow() override;

    void setPerAccessPoint(bool perAccessPoint);
    bool perAccessPoint() const { return perAccessPoint_; }
    // Where each access point stands with one pin per access point; rebuilds when it changes.
    void setApPosition(ApPosition apPosition);
    // Reads the working file again (logs were added to the survey), keeping the view and the
    // highlighted selection.
    void reload() { build(); }
    // Highlights the records `selection` passes and fits the view to them; nothing clears the
    // highlight.
    void showSelection(const std::optional<MapSelection>& selection);

    const map::SightingMap& sightings() const { return sightings_; }
    MapCanvas* canvas() const { return canvas_; }
    // The save dialog of "Save Image...".
    FileDialog& imageDialog() { return imageDialog_; }

  public slots:
    void fitView();
    void clearHighlight();
    void saveImage();

  protected:
    // Keeps the window's place and size for the next time it opens.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void buildControls();
    void build();
    void highlight();
    void showPicked(const std::vector<std::uint32_t>& numbers);
    void setStatus(const QString& text);
    void showOffline(const QString& text);
    // The map as "Save Image..." writes it: the view with its scale bar, and the legend.
    QImage imageWithLegend();

    MapWindowPaths paths_;
    bool perAccessPoint_;
    ApPosition apPosition_;
    map::SightingMap sightings_;
    std::optional<VendorList> vendors_;
    std::optional<MapSelection> selection_;  // highlighted, kept over a rebuild
    FileDialog imageDialog_;
    TileSource* tiles_ = nullptr;
    bool offlineShown_ = false;  // the status line says offline
    QString summary_;            // the status line's count of sightings

    MapCanvas* canvas_ = nullptr;
    std::array<QCheckBox*, map::kStatusCount> legend_{};
    QPushButton* clearButton_ = nullptr;
    QTextBrowser* details_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* cursorPosition_ = nullptr;
};

}  // namespace velmora
