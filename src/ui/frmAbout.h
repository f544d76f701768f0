// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QUrl>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

// The about box: the program's title, version and description, and a button that opens the
// update page in the desktop's browser. Modeless; OK (also Enter and Esc) and the frame's
// close control finish it, and a finished box deletes itself: the next "About" loads afresh.
//
//   Object          Shows
//   frmAbout        caption "About Velmora2004_Pre_Release"
//   picIcon         the application icon
//   lblTitle        "Velmora 2004 Pre-Release", large and bold
//   lblVersion      "Version <major>.<minor>.<revision>"
//   Text1           the program's description, read-only
//   cmdOK           "OK": finishes the box
//   Command1        "Check for online updates": opens the update page, or says that this
//                   build has none
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    explicit frmAbout(QWidget* owner);

    // "Check for online updates": starts the desktop's opener on the update page without
    // waiting for it; a start that fails is reported. Without an update page
    // (isUpdateAddress()) it says so and starts nothing.
    void checkForUpdates();
    // The page checkForUpdates() opens: updatePageUrl() unless set otherwise.
    void setUpdatePage(const QUrl& page) { updatePage_ = page; }

  private:
    QPushButton* cmdOK_ = nullptr;
    QLabel* picIcon_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QPlainTextEdit* text1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QUrl updatePage_;
};

}  // namespace velmora
