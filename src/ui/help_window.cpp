// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_window.h"

#include <QEvent>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

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
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        givePicturesTheirBlocks();
        fittedWidth_ = -1;
        fitPictures();
    });
    browser_->viewport()->installEventFilter(this);

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

namespace {

// The positions of the document's pictures, first to last.
std::vector<int> picturePositions(const QTextDocument& document) {
    std::vector<int> at;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                for (int i = 0; i < it.fragment().length(); ++i)
                    at.push_back(it.fragment().position() + i);
    return at;
}

}  // namespace

void HelpWindow::givePicturesTheirBlocks() {
    QTextDocument* document = browser_->document();
    const std::vector<int> at = picturePositions(*document);
    QTextCursor cursor(document);
    // From the last, so that the positions before stay.
    for (auto it = at.rbegin(); it != at.rend(); ++it) {
        cursor.setPosition(*it + 1);
        if (!cursor.atBlockEnd()) cursor.insertBlock(cursor.blockFormat(), QTextCharFormat());
        cursor.setPosition(*it);
        if (!cursor.atBlockStart()) cursor.insertBlock(cursor.blockFormat(), QTextCharFormat());
    }
}

QSize HelpWindow::naturalSize(const QString& picture) {
    if (const auto known = naturalSizes_.constFind(picture); known != naturalSizes_.cend())
        return *known;
    const QVariant data = browser_->loadResource(QTextDocument::ImageResource, QUrl(picture));
    QSize size;
    if (data.typeId() == QMetaType::QImage)
        size = data.value<QImage>().size();
    else if (data.typeId() == QMetaType::QPixmap)
        size = data.value<QPixmap>().size();
    else if (data.typeId() == QMetaType::QByteArray)
        size = QImage::fromData(data.toByteArray()).size();
    naturalSizes_.insert(picture, size);
    return size;
}

void HelpWindow::fitPictures() {
    const int width = browser_->viewport()->width();
    if (width == fittedWidth_) return;
    fittedWidth_ = width;
    QTextDocument* document = browser_->document();
    QTextCursor cursor(document);
    for (const int at : picturePositions(*document)) {
        cursor.setPosition(at);
        cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
        // The format of the character before the cursor's position: the picture.
        QTextImageFormat picture = cursor.charFormat().toImageFormat();
        const QSize natural = naturalSize(picture.name());
        if (natural.isEmpty()) continue;
        const QTextBlockFormat block = cursor.blockFormat();
        const double room =
            width - 2 * document->documentMargin() - block.leftMargin() - block.rightMargin() - 4;
        const double scale = std::clamp(room / natural.width(), 0.05, 1.0);
        picture.setWidth(natural.width() * scale);
        picture.setHeight(natural.height() * scale);
        cursor.setCharFormat(picture);
    }
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == browser_->viewport() && event->type() == QEvent::Resize) fitPictures();
    return QWidget::eventFilter(watched, event);
}

}  // namespace velmora
