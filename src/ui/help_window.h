// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace velmora {

// Help > "Content": the help page in a window of the program (HelpWindow), so help needs no
// browser. Links within the help (other local pages, anchors) are followed in the window;
// any other link goes to the desktop's browser through the shell. A page that is missing is
// said so in the window.
class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    HelpWindow(QWidget* owner, const QUrl& page);

    QTextBrowser* browser() const { return browser_; }

  private:
    void follow(const QUrl& link);

    QTextBrowser* browser_ = nullptr;
};

}  // namespace velmora
