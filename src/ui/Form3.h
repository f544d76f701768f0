// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/file_dialog.h"
#include "records/vendor_list.h"
#include "ui/advanced_window.h"

class QLabel;
class QPushButton;

namespace velmora {

class EntryList;

// The MAC window: every distinct access point of the loaded log as an AP entry (upper-cased
// MAC address " - " upper-cased network name), their count, the vendor of the selected one,
// and the export of every sighting of its MAC address.
//
//   Object          Shows
//   Form3           caption "Velmora 2004 - Advanced - MAC"
//   Label1          "Number Of Unique AP's ->" and how many entries List2 holds
//   List2Filter     narrows List2 to the entries containing its text
//   List2           the AP entries, in the core's byte order
//   Label2          "Vender ID:" until an entry is picked, then that entry's vendor label
//   Command1        "Extract MAC Address": exports the selected MAC address's sightings
//   Command2        "Close Advanced": hides the window
//   ShowOnMap       "Show on Map": the selected MAC address's sightings highlighted on the map
//
// Constructing it is its load: the vendor list and the AP entries are read once, here, and
// kept while the window lives, hidden or shown. "Close Advanced" only hides it; the frame's
// close control unloads it (unloaded() is emitted and the window deletes itself later).
//
// The vendor list is held as the core's VendorList: it is tens of thousands of lines and only
// ever looked up.
class Form3 : public AdvancedWindow {
    Q_OBJECT

  public:
    Form3(QWidget& owner, AdvancedWindowPaths paths);
    std::optional<MapSelection> mapSelection() const override;
    ~Form3() override;

  public slots:
    // "Extract MAC Address".
    void extractMacAddress();

  private:
    void buildControls();
    void load();
    void showVendor();

    VendorList vendors_;
    FileDialog commonDialog1_;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    EntryList* list2_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
};

}  // namespace velmora
