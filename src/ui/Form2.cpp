// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form2.h"

#include <QLabel>
#include <QPushButton>
#include <string>
#include <utility>

#include "platform/message_box.h"
#include "ui/entry_list.h"
#include "ui/error_reports.h"
#include "ui/latin1_text.h"
#include "ui/twips.h"

namespace velmora {

namespace {

const QString kExtract = QStringLiteral("&Extract Group AP Name");
const QString kClose = QStringLiteral("&Close Advanced Search");
const QString kNothingToExport = QStringLiteral("No AP Selected To Export");

}  // namespace

Form2::Form2(QWidget& owner, AdvancedWindowPaths paths)
    : AdvancedWindow(owner, std::move(paths), "Form2",
                     QStringLiteral("Velmora 2004 - Advanced - AP Name"), 5160, 3945) {
    buildControls();
    addShowOnMapButton(4935);
    finishLayout(0, {{label1_, shown(uniqueApLabelText(9999999))}});
    load();
}

void Form2::buildControls() {
    list2_ = new EntryList(this, QStringLiteral("List2"));
    list2_->setGeometry(px(240), px(120), px(4695), px(2790));
    connect(list2_, &EntryList::entrySelected, this, &Form2::showGroupCount);

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

    addFilterBox(list2_);
    setTabOrder(list2_, command1_);
    setTabOrder(command1_, command2_);
}

void Form2::load() {
    // A working file that cannot be read is reported over the main window (this one is not
    // shown yet); the window opens with an empty list.
    if (!reportingFileErrors(parentWidget(),
                             [&] { groups_ = readNetworkGroups(paths().workingFile); }))
        groups_.clear();
    QStringList names;
    names.reserve(static_cast<qsizetype>(groups_.size()));
    for (const NetworkGroup& group : groups_) names << shownName(group.name, group.exact);
    // The core's order is byte order; the list's own sorting would collate differently.
    list2_->setEntries(std::move(names));
}

void Form2::showGroupCount() {
    const int row = list2_->selectedEntry();
    if (row < 0) return;
    label1_->setText(
        shown(uniqueApLabelText(groups_.at(static_cast<std::size_t>(row)).uniqueAccessPoints)));
}

void Form2::extractGroup() {
    const QString caption = QString::fromLatin1(kApplicationTitle);
    const int row = list2_->selectedEntry();
    if (row < 0) {
        MessageBox::information(this, caption, kNothingToExport);
        return;
    }
    const NetworkGroup& group = groups_.at(static_cast<std::size_t>(row));
    const auto style = showExportDialog(
        commonDialog1_, std::function<QString(ExportFormat)>([&](ExportFormat format) {
            return shownName(apNameFileName(group, groups_, format),
                             apNameFileNameIsUtf8(group, groups_, format));
        }),
        {});
    if (!style) {
        MessageBox::information(this, caption, kNothingToExport);
        return;
    }
    writeExport([&] {
        const std::filesystem::path target = chosenExportPath(commonDialog1_);
        return ExportWritten{target,
                             exportApNameGroup(paths().workingFile, target, group.key(), *style),
                             style->perAccessPoint};
    });
}

std::optional<MapSelection> Form2::mapSelection() const {
    const int row = list2_->selectedEntry();
    if (row < 0) return std::nullopt;
    const NetworkGroup& group = groups_.at(static_cast<std::size_t>(row));
    return MapSelection{apNameSelection(group.key()),
                        QStringLiteral("AP name ") + shownName(group.name, group.exact)};
}

}  // namespace velmora
