// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSize>
#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace velmora {

// Help > "Content": the help page in a window of the program (HelpWindow), so help needs no
// browser. Links within the help (other local pages, anchors) are followed in the window;
// any other link goes to the desktop's browser through the shell. A page that is missing is
// said so in the window. Every picture stands in a block of its own, drawn at most as wide as
// the window shows the page (the text browser ignores the page's display:block and max-width).
class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    HelpWindow(QWidget* owner, const QUrl& page);

    QTextBrowser* browser() const { return browser_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void follow(const QUrl& link);
    void givePicturesTheirBlocks();
    void fitPictures();
    QSize naturalSize(const QString& picture);

    QTextBrowser* browser_ = nullptr;
    QHash<QString, QSize> naturalSizes_;
    int fittedWidth_ = -1;
};

}  // namespace velmora
