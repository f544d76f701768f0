// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_window.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/shell.h"
#include "ui/artwork.h"

namespace velmora {

HelpWindow::HelpWindow(QWidget* owner, const QUrl& page) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Velmora 2004 Help"));
    setWindowIcon(applicationIcon());
    resize(760, 600);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    // Every click comes to follow(), which decides where a link opens.
    browser_->setOpenLinks(false);
    browser_->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::follow);

    if (page.isLocalFile() && !QFileInfo(page.toLocalFile()).isFile()) {
        browser_->setPlainText(QStringLiteral("The help page is not installed: %1 is missing.")
                                   .arg(page.toLocalFile()));
        return;
    }
    browser_->setSource(page);
}

void HelpWindow::follow(const QUrl& link) {
    const QUrl target = browser_->source().resolved(link);
    if (target.isLocalFile() || target.scheme() == QLatin1String("qrc"))
        browser_->setSource(target);
    else
        Shell::openUrl(target);
}

}  // namespace velmora
