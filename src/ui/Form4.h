// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "advanced/criteria.h"
#include "platform/file_dialog.h"
#include "records/vendor_list.h"
#include "ui/advanced_window.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace velmora {

class EntryList;

// The criteria window: one network name (List2), a connection type (Frame1) and a WEP status
// (Frame2) give the distinct MAC addresses that match (List1) and their count (Label2). In
// MAC mode (Option8) a MAC address can be picked for its vendor (Label1) and the export
// writes that address's sightings; in AP-name mode (Option7) it writes the network's.
//
//   Object          Shows
//   Form4           caption "Velmora 2004 - Advanced Criteria"
//   List2           the distinct network names, upper-cased; enabled in AP-name mode
//   List1           the distinct MAC addresses that match; enabled in MAC mode
//   List2Filter,    narrow their lists to the entries containing their text; enabled with
//   List1Filter     their lists
//   Frame1          "Connection Type": Option1 "BBS", Option2 "Ad-Hoc", Option3 "Both"
//   Frame2          "WEP Status": Option4 "On", Option5 "Off", Option6 "Both"
//   Frame3          "Export Record Type": Option7 "Selected AP Name", Option8 "Selected MAC
//                   Address"
//   Label2          "Matching Records :", then the number of entries in List1
//   Frame4          "Registered Vender", shown in MAC mode only
//   Label1          in Frame4: the vendor of List1's selected entry
//   Command1        "Extract Matching Records": the export
//   Command2        "Close Advanced": hides the window
//   ShowOnMap       "Show on Map": the sightings Command1 would export, highlighted on the map
//   CommonDialog1   the export's save dialog (not visible)
//
// The working record file is read once, when the window is loaded, into a CriteriaIndex:
// every recount is answered from it, so a click stays quick on a log of a million sightings.
// The vendor list is held as the core's VendorList and only looked up.
//
// A child window of the main window. Command2 only hides it; its own close control unloads it
// (it is deleted, and emits unloaded() first so whoever holds it can forget it).
class Form4 : public AdvancedWindow {
    Q_OBJECT

  public:
    // The option buttons' numbers: OptionN is the button's object name and N its id in its
    // frame's button group.
    enum Option : int {
        kOptionBss = 1,
        kOptionAdHoc = 2,
        kOptionEitherType = 3,
        kOptionWepOn = 4,
        kOptionWepOff = 5,
        kOptionEitherWep = 6,
        kOptionApNameMode = 7,
        kOptionMacMode = 8,
    };
    // The frames' numbers: FrameN is the frame's object name.
    enum Frame : int {
        kFrameConnectionType = 1,
        kFrameWepStatus = 2,
        kFrameExportRecordType = 3,
        kFrameVendor = 4,
    };

    // Loads the window: the option buttons, List2 from the working file, then the vendor list.
    Form4(QWidget& owner, AdvancedWindowPaths paths);
    std::optional<MapSelection> mapSelection() const override;
    ~Form4() override;

    // CommonDialog1, the export's save dialog.
    FileDialog& commonDialog1() { return commonDialog1_; }

  public slots:
    // Refills List1 and Label2 from the selections as they are now.
    void recount();
    // Label1: the vendor of List1's selected entry, or "Not Found".
    void showVendor();
    // Option7 and Option8.
    void setApNameMode();
    void setMacMode();
    // Command1: Extract Matching Records.
    void extractMatchingRecords();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void load();
    CriteriaSelection selection() const;

    FileDialog commonDialog1_;
    CriteriaIndex index_;
    VendorList vendors_;

    EntryList* list1_ = nullptr;
    EntryList* list2_ = nullptr;
    QGroupBox* frame4_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QButtonGroup* connectionType_ = nullptr;    // Frame1's buttons
    QButtonGroup* wepStatus_ = nullptr;         // Frame2's buttons
    QButtonGroup* exportRecordType_ = nullptr;  // Frame3's buttons
};

}  // namespace velmora
