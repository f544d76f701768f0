#include "ui/Form2.h"

#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <string>

#include "advanced/file_name.h"
#include "platform/message_box.h"
#include "records/file_error.h"
#include "ui/Form1.h"

namespace velmora {

namespace {

// Positions are laid out in twips, 15 to the pixel.
constexpr int px(int twips) {
    return twips / 15;
}

const QString kCaption = QStringLiteral("Velmora 2004 - Advanced - AP Name");
const QString kExtract = QStringLiteral("Extract Group AP Name");
const QString kClose = QStringLiteral("Close Advanced Search");
// A push button's frame and padding around its text.
constexpr int kButtonPadding = 16;

QString shown(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The layout was drawn for a narrow 11-pixel font; where the platform's font is wider, a
// smaller size keeps the button captions and the count label within their controls.
QFont fittingFont(QFont font) {
    const QString widestLabel = shown(uniqueApLabelText(9999999));
    for (int size = 11; size > 8; --size) {
        font.setPixelSize(size);
        const QFontMetrics m(font);
        if (m.horizontalAdvance(kExtract) + kButtonPadding <= px(2415) &&
            m.horizontalAdvance(kClose) + kButtonPadding <= px(2055) &&
            m.horizontalAdvance(widestLabel) <= px(4695))
            break;
    }
    return font;
}

std::filesystem::path corePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

Form2::Form2(Form1& owner)
    : QWidget(&owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      owner_(owner) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(5160), px(3945));
    setFont(fittingFont(font()));
    buildControls();
    move(owner.geometry().center() - rect().center());
    load();
}

void Form2::buildControls() {
    // The count comes from the core, so no hidden list collects MAC addresses here.
    list2_ = new QListWidget(this);
    list2_->setObjectName(QStringLiteral("List2"));
    list2_->setSelectionMode(QAbstractItemView::SingleSelection);
    list2_->setGeometry(px(240), px(120), px(4695), px(2790));
    connect(list2_, &QListWidget::itemSelectionChanged, this, &Form2::showGroupCount);

    label1_ = new QLabel(QStringLiteral("Unique AP's in Group List :"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(px(240), px(3000), px(4695), px(255));
    QPalette palette = label1_->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label1_->setPalette(palette);

    command1_ = new QPushButton(kExtract, this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(px(240), px(3480), px(2415), px(375));
    connect(command1_, &QPushButton::clicked, this, &Form2::extractGroup);

    command2_ = new QPushButton(kClose, this);
    command2_->setObjectName(QStringLiteral("Command2"));
    command2_->setGeometry(px(2880), px(3480), px(2055), px(375));
    connect(command2_, &QPushButton::clicked, this, &QWidget::hide);

    setTabOrder(list2_, command1_);
    setTabOrder(command1_, command2_);
}

void Form2::load() {
    // A working file that cannot be read is reported; the window opens with an empty list.
    try {
        groups_ = readNetworkGroups(owner_.workingFiles().output1());
    } catch (const FileError& e) {
        MessageBox::error(&owner_, QString::fromLatin1(kApplicationTitle), shown(e.what()));
        groups_.clear();
    }
    QStringList names;
    names.reserve(static_cast<qsizetype>(groups_.size()));
    for (const NetworkGroup& group : groups_) names << shown(group.name);
    // The core's order is byte order; the list's own sorting would collate differently.
    list2_->addItems(names);
}

int Form2::selectedRow() const {
    const QList<QListWidgetItem*> selected = list2_->selectedItems();
    return selected.isEmpty() ? -1 : list2_->row(selected.first());
}

void Form2::showGroupCount() {
    const int row = selectedRow();
    if (row < 0) return;
    label1_->setText(
        shown(uniqueApLabelText(groups_.at(static_cast<std::size_t>(row)).uniqueAccessPoints)));
}

void Form2::extractGroup() {
    const QString caption = QString::fromLatin1(kApplicationTitle);
    const int row = selectedRow();
    if (row < 0) {
        MessageBox::information(this, caption, QStringLiteral("No AP Selected To Export"));
        return;
    }
    const std::string& group = groups_.at(static_cast<std::size_t>(row)).name;
    commonDialog1_.setFileName(shown(apNameFileName(group)));
    if (!commonDialog1_.showSave(this)) {
        MessageBox::information(this, caption, QStringLiteral("No AP Selected To Export"));
        return;
    }

    // The dialog made the chosen folder current; only the chosen name is taken from it, so
    // whatever it returns cannot point into another folder.
    const std::string title = QFile::encodeName(commonDialog1_.fileTitle()).toStdString();
    try {
        if (!isPlainFileName(title))
            throw FileError(corePath(commonDialog1_.fileName()), "Not a file name");
        exportApNameGroup(owner_.workingFiles().output1(), std::filesystem::current_path() / title,
                          group);
    } catch (const FileError& e) {
        MessageBox::error(this, caption, shown(e.what()));
    } catch (const std::filesystem::filesystem_error& e) {
        MessageBox::error(this, caption, shown(e.what()));
    }
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    emit unloaded();
}

}  // namespace velmora
