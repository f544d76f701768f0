// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "advanced/ap_name.h"
#include "platform/file_dialog.h"
#include "ui/advanced_window.h"

class QLabel;
class QPushButton;

namespace velmora {

class EntryList;

// The AP-name window: the loaded log's network groups (upper-cased SSIDs), the number of
// access points of the selected group, and the export of that group's sightings.
//
//   Object          Shows
//   Form2           caption "Velmora 2004 - Advanced - AP Name"
//   List2Filter     narrows List2 to the groups containing its text
//   List2           the network groups, in the core's byte order
//   Label1          "Unique AP's in Group List :" and the selected group's count (red)
//   Command1        "Extract Group AP Name": exports the selected group's sightings
//   Command2        "Close Advanced Search": hides the window
//   ShowOnMap       "Show on Map": the selected group's sightings highlighted on the map
//   CommonDialog1   the export's save dialog (not visible)
//
// Constructing it is its load: the groups and their counts are read from the working file
// once. The working file cannot change while the window exists (a new log needs Close File,
// which unloads it), so a selection shows the stored count. "Close Advanced Search" hides it;
// its frame's close control unloads it (emits unloaded(), then deletes itself).
class Form2 : public AdvancedWindow {
    Q_OBJECT

  public:
    Form2(QWidget& owner, AdvancedWindowPaths paths);
    std::optional<MapSelection> mapSelection() const override;

    // CommonDialog1, the save dialog of the export.
    FileDialog& commonDialog1() { return commonDialog1_; }

  private:
    void buildControls();
    void load();
    void showGroupCount();
    void extractGroup();

    FileDialog commonDialog1_;
    std::vector<NetworkGroup> groups_;  // in List2's order

    EntryList* list2_ = nullptr;
    QLabel* label1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
};

}  // namespace velmora
