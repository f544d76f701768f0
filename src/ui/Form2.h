#pragma once

#include <vector>

#include "advanced/ap_name.h"
#include "platform/file_dialog.h"
#include "ui/window_support.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace velmora {

class Form1;

// The AP-name window: the loaded log's network groups (upper-cased SSIDs), the number of
// access points of the selected group, and the export of that group's sightings.
//
// Constructing it is its load: the groups and their counts are read from output1 once. The
// working file cannot change while the window exists (a new log needs Close File, which
// unloads it), so a selection shows the stored count. "Close Advanced Search" hides it; its
// frame's close control unloads it (emits unloaded(), then deletes itself).
class Form2 : public AdvancedWindow {
    Q_OBJECT

  public:
    explicit Form2(Form1& owner);

    // CommonDialog1, the save dialog of the export.
    FileDialog& commonDialog1() { return commonDialog1_; }

  private:
    void buildControls();
    void load();
    void showGroupCount();
    void extractGroup();
    int selectedRow() const;

    FileDialog commonDialog1_;
    std::vector<NetworkGroup> groups_;  // in List2's order

    QListWidget* list2_ = nullptr;
    QLabel* label1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
};

}  // namespace velmora
