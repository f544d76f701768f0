// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmAbout.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>

#include "platform/message_box.h"
#include "platform/shell.h"
#include "ui/artwork.h"
#include "ui/help_links.h"
#include "ui/twips.h"
#include "velmora_version.h"

namespace velmora {

namespace {

const QString kDescription = QStringLiteral(
    "Velmora 2004 was designed solely for use with NetStumber Export logs, to allow quick and "
    "easy importing into Microsoft Streets and Trips.");

// The layout suits a narrow 11-pixel font; where the platform's font is wider, a
// smaller size keeps the description within its box without a scroll bar.
QFont fittingFont(QFont font, int textWidth, int textHeight) {
    for (int size = 11; size > 8; --size) {
        font.setPixelSize(size);
        const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, textWidth, 10000),
                                                             Qt::TextWordWrap, kDescription);
        if (needed.height() <= textHeight) break;
    }
    return font;
}

}  // namespace

frmAbout::frmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      updatePage_(updatePageUrl()) {
    setObjectName(QStringLiteral("frmAbout"));
    setModal(false);
    setWindowIcon(applicationIcon());
    setFixedSize(px(5130), px(2475));

    // Text1 keeps a one-pixel frame and a two-pixel margin round its text.
    constexpr int kTextInset = 3;
    const QRect textBox(px(720), px(1080), px(4095), px(735));
    setFont(
        fittingFont(font(), textBox.width() - 2 * kTextInset, textBox.height() - 2 * kTextInset));

    // Created in tab order: OK first, so it has the focus when the box opens.
    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(px(3600), px(1920), px(1260), px(345));
    cmdOK_->setDefault(true);

    picIcon_ = new QLabel(this);
    picIcon_->setObjectName(QStringLiteral("picIcon"));
    picIcon_->setGeometry(px(0), px(120), px(540), px(540));
    picIcon_->setAlignment(Qt::AlignCenter);
    picIcon_->setPixmap(applicationIcon().pixmap(32, 32));

    lblTitle_ = new QLabel(QStringLiteral("Application Title"), this);
    lblTitle_->setObjectName(QStringLiteral("lblTitle"));
    lblTitle_->setGeometry(px(720), px(120), px(3885), px(480));
    QFont titleFont = font();
    titleFont.setPixelSize(font().pixelSize() + 5);
    titleFont.setBold(true);
    lblTitle_->setFont(titleFont);

    lblVersion_ = new QLabel(QStringLiteral("Version"), this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    lblVersion_->setGeometry(px(720), px(720), px(3885), px(225));

    text1_ = new QPlainTextEdit(QStringLiteral("Text1"), this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(textBox);
    text1_->setReadOnly(true);
    text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setFrameStyle(QFrame::Box | QFrame::Plain);
    text1_->setLineWidth(1);
    text1_->document()->setDocumentMargin(kTextInset - 1);

    command1_ = new QPushButton(QStringLiteral("Check for online updates"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(px(720), px(1920), px(2775), px(375));

    setTabOrder(cmdOK_, text1_);
    setTabOrder(text1_, command1_);
    cmdOK_->setFocus();

    // Cancel role: Esc rejects the dialog as OK accepts it; either way it is unloaded.
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);
    connect(command1_, &QPushButton::clicked, this, &frmAbout::checkForUpdates);
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    // Loading: the caption, version, title and description.
    setWindowTitle(QStringLiteral("About " VELMORA_APPLICATION_TITLE));
    lblVersion_->setText(QStringLiteral("Version %1.%2.%3")
                             .arg(VELMORA_VERSION_MAJOR)
                             .arg(VELMORA_VERSION_MINOR)
                             .arg(VELMORA_VERSION_REVISION));
    lblTitle_->setText(QStringLiteral("Velmora 2004 Pre-Release"));
    text1_->setPlainText(kDescription);

    if (owner) move(owner->frameGeometry().center() - rect().center());
}

void frmAbout::checkForUpdates() {
    if (!isUpdateAddress(updatePage_)) {
        MessageBox::information(
            this, QStringLiteral(VELMORA_APPLICATION_TITLE),
            QStringLiteral("This build of Velmora 2004 has no update address, so it cannot check "
                           "for updates. Ask whoever provided it for a newer version."));
        return;
    }
    const QString url = updatePage_.toString();
    const QString error = Shell::startDetached(QString::fromLatin1(kDesktopOpener), {url});
    if (!error.isEmpty())
        MessageBox::error(this, QStringLiteral(VELMORA_APPLICATION_TITLE),
                          QStringLiteral("Cannot open %1: %2 could not be started (%3)")
                              .arg(url, QString::fromLatin1(kDesktopOpener), error));
}

}  // namespace velmora
