#pragma once

#include "advanced/vendor_list.h"
#include "platform/file_dialog.h"
#include "ui/window_support.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace velmora {

class Form1;

// The MAC window: every distinct access point of the loaded log as an AP entry (upper-cased
// MAC address " - " upper-cased network name), their count, the vendor of the selected one,
// and the export of every sighting of its MAC address.
//
// Constructing it is its Load: the vendor list and the AP entries are read once, here, and
// kept while the window lives, hidden or shown. "Close Advanced" only hides it; the frame's
// close control unloads it (unloaded() is emitted and the window deletes itself later).
//
// The vendor list is held as the core's VendorList rather than in a hidden list widget: it is
// tens of thousands of lines and only ever looked up.
class Form3 : public AdvancedWindow {
    Q_OBJECT

  public:
    explicit Form3(Form1& owner);
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
    QListWidget* list2_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
};

}  // namespace velmora
