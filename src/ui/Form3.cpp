// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "advanced/mac_access_points.h"
#include "ui/entry_list.h"
#include "ui/error_reports.h"
#include "ui/latin1_text.h"
#include "ui/twips.h"

namespace velmora {

namespace {

const char* const kCountCaption = "Number Of Unique AP's ->";
const char* const kVendorCaption = "Vender ID:";
const char* const kExtractCaption = "&Extract MAC Address";
const char* const kCloseCaption = "&Close Advanced";
constexpr int kButtonWidth = px(1815);

}  // namespace

Form3::Form3(QWidget& owner, AdvancedWindowPaths paths)
    : AdvancedWindow(owner, std::move(paths), "Form3",
                     QStringLiteral("Velmora 2004 - Advanced - MAC"), 5130, 3795) {
    buildControls();
    addShowOnMapButton(5055);
    finishLayout(1, {{label1_, shown(uniqueApLabel(4294967295u))}});
    load();
}

Form3::~Form3() = default;

void Form3::buildControls() {
    // Made in tab order, so the focus chain runs Command1, List2 (its filter box first),
    // Command2.
    command1_ = new QPushButton(QString::fromLatin1(kExtractCaption), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(px(240), px(3240), kButtonWidth, px(375));
    connect(command1_, &QPushButton::clicked, this, &Form3::extractMacAddress);

    list2_ = new EntryList(this, QStringLiteral("List2"));
    list2_->setGeometry(px(120), px(360), px(4935), px(2400));
    connect(list2_, &EntryList::entrySelected, this, &Form3::showVendor);

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

    addFilterBox(list2_);
    setTabOrder(command1_, list2_->filterBox());
    setTabOrder(list2_->filterBox(), list2_);
    setTabOrder(list2_, command2_);
    command1_->setFocus();
}

void Form3::load() {
    // The window is not shown yet: the main window carries the reports. Without its vendor
    // list the window still lists and exports; every lookup is not found.
    vendors_ = VendorList();
    reportingFileErrors(parentWidget(), [&] { vendors_ = LoadVendorList(paths().vendorList); });

    ApEntryList list;
    reportingFileErrors(parentWidget(), [&] { list = loadApEntryList(paths().workingFile); });
    const std::vector<std::string>& entries = list.entries;
    QStringList items;
    items.reserve(static_cast<qsizetype>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        items.append(shownName(entries[i], list.exactName[i]));
    // Already in the core's byte order; the widget's own sorting would collate differently.
    list2_->setEntries(std::move(items));
    label1_->setText(QString::fromStdString(uniqueApLabel(entries.size())));
}

void Form3::showVendor() {
    if (list2_->selectedEntry() < 0) return;
    const std::string text(vendorLabel(vendors_, latin1Bytes(list2_->selectedText())));
    label2_->setText(shown(text));
    label2_->setToolTip(label2_->text());
}

void Form3::extractMacAddress() {
    if (list2_->selectedEntry() < 0) return;
    const std::string entry = latin1Bytes(list2_->selectedText());

    const auto style = showExportDialog(
        commonDialog1_, [&](ExportFormat format) { return macExportFileName(entry, format); },
        QString::fromLatin1(kMacExportExtension));
    if (!style) return;

    writeExport([&] {
        const std::filesystem::path target = chosenExportPath(commonDialog1_);
        const MacExportResult written = exportMacAddress(
            paths().workingFile, entry, target.parent_path(), target.filename(), *style);
        return ExportWritten{written.target, written.lines, style->perAccessPoint};
    });
}

std::optional<MapSelection> Form3::mapSelection() const {
    if (list2_->selectedEntry() < 0) return std::nullopt;
    const std::string entry = latin1Bytes(list2_->selectedText());
    return MapSelection{macAddressSelection(entry),
                        QStringLiteral("MAC address ") + shown(entryMacAddress(entry))};
}

}  // namespace velmora
