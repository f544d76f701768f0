// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form4.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

#include "ui/entry_list.h"
#include "ui/error_reports.h"
#include "ui/latin1_text.h"
#include "ui/twips.h"

namespace velmora {

namespace {

struct Box {
    int left, top, width, height;  // twips
};

struct OptionLayout {
    int number;
    const char* text;
    Box box;
};

struct FrameLayout {
    int number;
    const char* title;
    Box box;
    std::initializer_list<OptionLayout> options;
};

// The three frames of option buttons, in tab order. An option's box is relative to its frame.
const FrameLayout kOptionFrames[] = {
    {Form4::kFrameWepStatus,
     "WEP Status",
     {2400, 1560, 1215, 1095},
     {{Form4::kOptionWepOn, "On", {120, 240, 615, 255}},
      {Form4::kOptionWepOff, "Off", {120, 480, 615, 255}},
      {Form4::kOptionEitherWep, "Both", {120, 720, 735, 255}}}},
    {Form4::kFrameConnectionType,
     "Connection Type",
     {3720, 1560, 1575, 1095},
     {{Form4::kOptionBss, "BBS", {120, 240, 735, 255}},
      {Form4::kOptionAdHoc, "Ad-Hoc", {120, 480, 855, 255}},
      {Form4::kOptionEitherType, "Both", {120, 720, 735, 255}}}},
    {Form4::kFrameExportRecordType,
     "Export Record Type",
     {3120, 2760, 2175, 855},
     {{Form4::kOptionApNameMode, "Selected AP Name", {120, 240, 1695, 255}},
      {Form4::kOptionMacMode, "Selected MAC Address", {120, 480, 1935, 255}}}},
};

void place(QWidget* w, const Box& b) {
    w->setGeometry(px(b.left), px(b.top), px(b.width), px(b.height));
}

std::string bytesOf(const EntryList* list) {
    return latin1Bytes(list->selectedText());
}

}  // namespace

Form4::Form4(QWidget& owner, AdvancedWindowPaths paths)
    : AdvancedWindow(owner, std::move(paths), "Form4",
                     QStringLiteral("Velmora 2004 - Advanced Criteria"), 5490, 4530) {
    buildControls();
    addShowOnMapButton(5295, 2175);  // as wide as the buttons above it
    addFilterBox(list2_);
    addFilterBox(list1_);
    finishLayout(2);
    load();
}

Form4::~Form4() = default;

void Form4::buildControls() {
    list2_ = new EntryList(this, QStringLiteral("List2"));
    place(list2_, {120, 120, 5175, 1230});
    list1_ = new EntryList(this, QStringLiteral("List1"));
    place(list1_, {120, 1560, 2175, 1230});

    for (const FrameLayout& f : kOptionFrames) {
        auto* frame = new QGroupBox(QString::fromLatin1(f.title), this);
        frame->setObjectName(QStringLiteral("Frame%1").arg(f.number));
        place(frame, f.box);
        auto* group = new QButtonGroup(frame);
        for (const OptionLayout& o : f.options) {
            auto* option = new QRadioButton(QString::fromLatin1(o.text), frame);
            option->setObjectName(QStringLiteral("Option%1").arg(o.number));
            // A button may reach the frame's inner edge: the wider fonts of Linux then fit.
            place(option, {o.box.left, o.box.top, f.box.width - 2 * o.box.left, o.box.height});
            group->addButton(option, o.number);
        }
        switch (f.number) {
            case kFrameConnectionType:
                connectionType_ = group;
                break;
            case kFrameWepStatus:
                wepStatus_ = group;
                break;
            default:
                exportRecordType_ = group;
        }
    }
    // Tab comes into a frame on its checked option and goes on out of it; the arrow keys move
    // among the frame's options.
    for (QButtonGroup* group : {connectionType_, wepStatus_, exportRecordType_}) {
        for (QAbstractButton* option : group->buttons()) option->setFocusPolicy(Qt::ClickFocus);
        connect(group, &QButtonGroup::buttonToggled, this, [](QAbstractButton* option, bool on) {
            option->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
        });
    }
    // A criterion's click recounts; the export record type's click switches the mode.
    for (QButtonGroup* criterion : {connectionType_, wepStatus_})
        connect(criterion, &QButtonGroup::buttonClicked, this, &Form4::recount);
    connect(exportRecordType_->button(kOptionApNameMode), &QAbstractButton::clicked, this,
            &Form4::setApNameMode);
    connect(exportRecordType_->button(kOptionMacMode), &QAbstractButton::clicked, this,
            &Form4::setMacMode);

    label2_ = new QLabel(QStringLiteral("Matching Records :"), this);
    label2_->setObjectName(QStringLiteral("Label2"));
    place(label2_, {240, 3000, 2535, 255});

    frame4_ = new QGroupBox(QStringLiteral("Registered Vender"), this);
    frame4_->setObjectName(QStringLiteral("Frame%1").arg(kFrameVendor));
    place(frame4_, {120, 3360, 2775, 1095});
    label1_ = new QLabel(frame4_);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setWordWrap(true);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label1_, {120, 360, 2535, 615});

    auto* command1 = new QPushButton(QStringLiteral("&Extract Matching Records"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    place(command1, {3120, 3660, 2175, 375});
    connect(command1, &QPushButton::clicked, this, &Form4::extractMatchingRecords);
    auto* command2 = new QPushButton(QStringLiteral("&Close Advanced"), this);
    command2->setObjectName(QStringLiteral("Command2"));
    place(command2, {3120, 4080, 2175, 375});
    connect(command2, &QPushButton::clicked, this, &QWidget::hide);

    // A selection change, by mouse or keys, is the lists' click. A click on the entry that is
    // already selected changes nothing and is caught at the press instead (eventFilter).
    connect(list2_, &EntryList::entrySelected, this, &Form4::recount);
    connect(list1_, &EntryList::entrySelected, this, &Form4::showVendor);
    list2_->installEventFilter(this);
    list2_->viewport()->installEventFilter(this);
    list1_->viewport()->installEventFilter(this);
}

void Form4::load() {
    // The two "Both" buttons each recount as a click would (nothing is selected yet, so the
    // count reads 0); "Selected AP Name" sets AP-name mode.
    connectionType_->button(kOptionEitherType)->click();
    wepStatus_->button(kOptionEitherWep)->click();
    exportRecordType_->button(kOptionApNameMode)->click();

    reportingFileErrors(this, [&] { index_ = CriteriaIndex::build(paths().workingFile); });
    QStringList names;
    names.reserve(static_cast<qsizetype>(index_.networkNames().size()));
    for (const NetworkName& name : index_.networkNameKeys())
        names.append(shownName(name.text, name.exact));
    list2_->setEntries(std::move(names));

    // Without its vendor list the window still works: every lookup then reads "Not Found".
    reportingFileErrors(this, [&] { vendors_ = LoadVendorList(paths().vendorList); });
}

bool Form4::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list2_ && event->type() == QEvent::KeyPress && list2_->isEnabled()) {
        // Key-down comes before the key moves the selection: this recount still sees the
        // entry selected until now; the selection change that follows recounts again.
        recount();
    } else if (event->type() == QEvent::MouseButtonPress) {
        const bool onList2 = watched == list2_->viewport();
        EntryList* list = onList2 ? list2_ : list1_;
        if ((onList2 || watched == list1_->viewport()) && list->isEnabled()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const int entry = list->entryAt(mouse->position().toPoint());
            if (entry >= 0 && entry == list->selectedEntry()) onList2 ? recount() : showVendor();
        }
    }
    return QWidget::eventFilter(watched, event);
}

CriteriaSelection Form4::selection() const {
    CriteriaSelection s;
    // The row's name, as a shown exact name is no longer its bytes.
    if (const int row = list2_->selectedEntry(); row >= 0) {
        const NetworkName& name = index_.networkNameKeys().at(static_cast<std::size_t>(row));
        s.name = name.text;
        s.exactName = name.exact;
    }
    s.mac = bytesOf(list1_);
    switch (connectionType_->checkedId()) {
        case kOptionBss:
            s.type = ConnectionType::Bss;
            break;
        case kOptionAdHoc:
            s.type = ConnectionType::AdHoc;
            break;
        default:
            s.type = ConnectionType::Both;
    }
    switch (wepStatus_->checkedId()) {
        case kOptionWepOn:
            s.wep = WepStatus::On;
            break;
        case kOptionWepOff:
            s.wep = WepStatus::Off;
            break;
        default:
            s.wep = WepStatus::Both;
    }
    s.mode = exportRecordType_->checkedId() == kOptionMacMode ? CriteriaExportMode::MacAddress
                                                              : CriteriaExportMode::ApName;
    return s;
}

void Form4::recount() {
    const CriteriaSelection s = selection();
    const std::vector<std::string> macs =
        index_.recount(NetworkName{s.name, s.exactName}, s.type, s.wep);
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(macs.size()));
    for (const std::string& mac : macs) entries.append(shown(mac));
    list1_->setEntries(std::move(entries));
    label2_->setText(shown(matchingRecordsText(static_cast<std::size_t>(list1_->count()))));
}

void Form4::showVendor() {
    // Emptying List1 (every recount does) is no pick: Label1 keeps its text.
    if (list1_->selectedEntry() < 0) return;
    label1_->setText(shown(vendorLabel(vendors_, bytesOf(list1_), kVendorNotFoundShort)));
}

void Form4::setApNameMode() {
    list1_->setEnabled(false);
    list2_->setEnabled(true);
    frame4_->hide();
    label1_->hide();
    label1_->clear();
}

void Form4::setMacMode() {
    list1_->setEnabled(true);
    list2_->setEnabled(false);
    frame4_->show();
    label1_->show();
    label1_->clear();
}

void Form4::extractMatchingRecords() {
    const CriteriaSelection s = selection();
    if (!criteriaExportAllowed(s, static_cast<std::size_t>(list1_->count()))) return;

    const auto style = showExportDialog(
        commonDialog1_, std::function<QString(ExportFormat)>([&](ExportFormat format) {
            // An exact network name is UTF-8; a MAC address is ASCII either way.
            return shownName(criteriaFileName(s, format),
                             s.exactName && s.mode == CriteriaExportMode::ApName);
        }),
        QStringLiteral("txt"));
    if (!style) return;
    writeExport([&] {
        const std::filesystem::path target = chosenExportPath(commonDialog1_);
        return ExportWritten{target, exportCriteria(paths().workingFile, target, s, *style),
                             style->perAccessPoint};
    });
}

std::optional<MapSelection> Form4::mapSelection() const {
    const CriteriaSelection s = selection();
    if (!criteriaExportAllowed(s, static_cast<std::size_t>(list1_->count()))) return std::nullopt;
    const QString title = s.mode == CriteriaExportMode::MacAddress
                              ? QStringLiteral("MAC address ") + shown(s.mac)
                              : QStringLiteral("network ") + shownName(s.name, s.exactName);
    return MapSelection{criteriaExportSelection(s), title + QStringLiteral(" by criteria")};
}

}  // namespace velmora
