#include "ui/Form3.h"

#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <string>
#include <vector>

#include "advanced/mac_access_points.h"
#include "platform/message_box.h"
#include "records/file_error.h"
#include "ui/Form1.h"
#include "ui/artwork.h"

namespace velmora {

namespace {

// Positions are laid out in twips, 15 to the pixel.
constexpr int px(int twips) {
    return twips / 15;
}

const char* const kCaption = "Velmora 2004 - Advanced - MAC";
const char* const kCountCaption = "Number Of Unique AP's ->";
const char* const kVendorCaption = "Vender ID:";
const char* const kExtractCaption = "Extract MAC Address";
const char* const kCloseCaption = "Close Advanced";
constexpr int kButtonWidth = px(1815);
// Room a push button's frame and margins take from its caption.
constexpr int kButtonPadding = 12;

// The layout was drawn for a narrow 11-pixel font; where the platform's font is wider, a
// smaller size keeps the button captions and the longest count inside their controls.
QFont fittingFont(QFont font) {
    for (int size = 11; size > 8; --size) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(QString::fromLatin1(kExtractCaption)) <=
                kButtonWidth - kButtonPadding &&
            metrics.horizontalAdvance(QString::fromStdString(uniqueApLabel(4294967295u))) <
                px(4935))
            break;
    }
    return font;
}

QString shown(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::filesystem::path corePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Runs one file operation; a failure is reported naming the file and the reason, and the
// caller abandons the command.
template <typename Operation>
bool reported(QWidget* parent, Operation&& operation) {
    try {
        operation();
        return true;
    } catch (const FileError& e) {
        MessageBox::error(parent, QString::fromLatin1(kApplicationTitle), shown(e.what()));
    } catch (const std::filesystem::filesystem_error& e) {
        MessageBox::error(parent, QString::fromLatin1(kApplicationTitle), shown(e.what()));
    }
    return false;
}

}  // namespace

Form3::Form3(Form1& owner)
    : QWidget(&owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      owner_(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(applicationIcon());
    setFixedSize(px(5130), px(3795));
    setFont(fittingFont(font()));
    buildControls();
    move(owner.frameGeometry().center() - rect().center());
    load();
}

Form3::~Form3() = default;

void Form3::buildControls() {
    // Made in tab order, so the focus chain runs Command1, List2, Command2.
    command1_ = new QPushButton(QString::fromLatin1(kExtractCaption), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(px(240), px(3240), kButtonWidth, px(375));
    connect(command1_, &QPushButton::clicked, this, &Form3::extractMacAddress);

    list2_ = new QListWidget(this);
    list2_->setObjectName(QStringLiteral("List2"));
    list2_->setSelectionMode(QAbstractItemView::SingleSelection);
    list2_->setGeometry(px(120), px(360), px(4935), px(2400));
    connect(list2_, &QListWidget::itemSelectionChanged, this, &Form3::showVendor);

    label1_ = new QLabel(QString::fromLatin1(kCountCaption), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(px(120), px(120), px(4935), px(255));

    command2_ = new QPushButton(QString::fromLatin1(kCloseCaption), this);
    command2_->setObjectName(QStringLiteral("Command2"));
    command2_->setGeometry(px(3240), px(3240), kButtonWidth, px(375));
    connect(command2_, &QPushButton::clicked, this, &QWidget::hide);

    label2_ = new QLabel(QString::fromLatin1(kVendorCaption), this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(px(120), px(2880), px(4935), px(255));

    setTabOrder(command1_, list2_);
    setTabOrder(list2_, command2_);
    command1_->setFocus();
}

void Form3::load() {
    const WorkingFiles files = owner_.workingFiles();
    // Without its vendor list the window still lists and exports; every lookup is not found.
    vendors_ = VendorList();
    reported(&owner_, [&] {
        vendors_ = LoadVendorList(corePath(owner_.vendorFolder()) / kVendorListFileName);
    });

    list2_->clear();
    std::vector<std::string> entries;
    reported(&owner_, [&] { entries = loadApEntries(files.output1()); });
    QStringList items;
    items.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string& entry : entries) items.append(shown(entry));
    // Already in the core's byte order; the widget's own sorting would collate differently.
    list2_->addItems(items);
    label1_->setText(QString::fromStdString(uniqueApLabel(entries.size())));
}

void Form3::showVendor() {
    const QList<QListWidgetItem*> selected = list2_->selectedItems();
    if (selected.isEmpty()) return;
    const QByteArray entry = selected.first()->text().toLatin1();
    const std::string text = vendorLabel(vendors_, std::string_view(entry.data(), entry.size()));
    label2_->setText(shown(text));
    label2_->setToolTip(label2_->text());
}

void Form3::extractMacAddress() {
    const QList<QListWidgetItem*> selected = list2_->selectedItems();
    if (selected.isEmpty()) return;
    const QByteArray entryBytes = selected.first()->text().toLatin1();
    const std::string entry(entryBytes.constData(), static_cast<std::size_t>(entryBytes.size()));

    commonDialog1_.setFileName(shown(macExportFileName(entry)));
    commonDialog1_.setDefaultExtension(QString::fromLatin1(kMacExportExtension));
    if (!commonDialog1_.showSave(this)) return;

    // Only the chosen name is used, inside the folder the dialog made current.
    const std::filesystem::path title = corePath(commonDialog1_.fileTitle());
    reported(this, [&] {
        exportMacAddress(owner_.workingFiles().output1(), entry, std::filesystem::current_path(),
                         title);
    });
}

void Form3::closeEvent(QCloseEvent* event) {
    // The frame's close control unloads the window: the next menu use loads it afresh.
    event->accept();
    emit unloaded();
    deleteLater();
}

}  // namespace velmora
