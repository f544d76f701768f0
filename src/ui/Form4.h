#pragma once

#include "advanced/criteria.h"
#include "advanced/vendor_list.h"
#include "platform/file_dialog.h"
#include "ui/window_support.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace velmora {

class Form1;

// The criteria window: one network name (List2), a connection type (Frame1) and a WEP status
// (Frame2) give the distinct MAC addresses that match (List1) and their count (Label2). In
// MAC mode (Option8) a MAC address can be picked for its vendor (Label1) and the export
// writes that address's sightings; in AP-name mode (Option7) it writes the network's.
//
// The working record file is read once, when the window is loaded, into a CriteriaIndex:
// every recount is answered from it, so a click stays quick on a log of a million sightings.
// The vendor list is held as the core's VendorList; there is no hidden List3.
//
// A child window of Form1. Command2 only hides it; its own close control unloads it (it is
// deleted, and emits unloaded() first so whoever holds it can forget it).
class Form4 : public AdvancedWindow {
    Q_OBJECT

  public:
    // Loads the window: the option buttons, List2 from output1, then the vendor list.
    explicit Form4(Form1& owner);
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

    QListWidget* list1_ = nullptr;
    QListWidget* list2_ = nullptr;
    QGroupBox* frame4_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QButtonGroup* connectionType_ = nullptr;
    QButtonGroup* wepStatus_ = nullptr;
    QRadioButton* option3_ = nullptr;
    QRadioButton* option6_ = nullptr;
    QRadioButton* option7_ = nullptr;
    QRadioButton* option8_ = nullptr;
};

}  // namespace velmora
