// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/map_window.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTextBrowser>

#include "io/file_error.h"
#include "platform/message_box.h"
#include "platform/tile_source.h"
#include "records/ascii.h"
#include "sightings/pin_palette.h"
#include "ui/artwork.h"
#include "ui/error_reports.h"
#include "ui/export_save_dialog.h"
#include "ui/latin1_text.h"
#include "ui/map_canvas.h"
#include "ui/window_places.h"

namespace velmora {

namespace {

// A count with its digits grouped by commas: "124,931".
QString grouped(std::uint64_t n) {
    return QString::fromStdString(groupedDigits(n));
}

const QString kCaption = QStringLiteral("Velmora 2004 - Map - ");
const QString kOffline = QStringLiteral("Offline: no background");
const QString kOfflineCached = QStringLiteral("Offline: saved tiles only");
const QString kRetryLink = QStringLiteral(" <a href=\"retry\">Retry</a>");

// The legend's check boxes by status (the pin palette's order), with what each one's count
// adds to in the main window's counts.
struct LegendEntry {
    map::Status status;
    const char* name;
    const char* tip;
};
constexpr LegendEntry kLegend[] = {
    {map::Status::WepOn, "showWepOn",
     "WEP on, not ad hoc. The main window's WEP ON Entries "
     "count these and the ad-hoc ones with WEP on."},
    {map::Status::WepOff, "showWepOff",
     "WEP off, not ad hoc. The main window's WEP OFF Entries "
     "count these and the ad-hoc ones with WEP off."},
    {map::Status::AdHocWepOn, "showAdHocWepOn",
     "Ad hoc with WEP on: counted in the main window's Ad-Hoc Locations and WEP ON Entries."},
    {map::Status::AdHocWepOff, "showAdHocWepOff",
     "Ad hoc with WEP off: counted in the main window's Ad-Hoc Locations and WEP OFF Entries."}};

QString legendText(map::Status status, std::size_t count) {
    return QStringLiteral("%1 (%2)").arg(
        QString::fromLatin1(pinStyle(status).label.data(),
                            static_cast<qsizetype>(pinStyle(status).label.size())),
        grouped(count));
}

QIcon swatch(const QColor& colour) {
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 30, 200), 1.0));
    p.setBrush(colour);
    p.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    return QIcon(pixmap);
}

QString html(const std::string& utf8) {
    return QString::fromUtf8(utf8).toHtmlEscaped();
}

QString plural(std::size_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(grouped(n), QString::fromLatin1(n == 1 ? one : many));
}

// One sighting of the side panel: its network name as the heading, then its values; for an
// access point's pin, also how often and when it was seen.
QString describe(const MapPoint& point, const AccessPointSummary* accessPoint) {
    QStringList channels;
    for (int c : point.channels) channels << QString::number(c);
    QString signal = point.signal ? QString::number(*point.signal) : QStringLiteral("-");
    if (point.snr || point.noise)
        signal += QStringLiteral(" (SNR %1, noise %2)")
                      .arg(point.snr ? QString::number(*point.snr) : QStringLiteral("-"))
                      .arg(point.noise ? QString::number(*point.noise) : QStringLiteral("-"));
    const QString name = point.name.empty() ? QStringLiteral("<i>(no name)</i>") : html(point.name);
    std::vector<std::pair<const char*, QString>> rows = {
        {"BSSID", html(point.bssid)},
        {"Vendor", point.vendor ? html(*point.vendor) : QStringLiteral("-")},
        {"Channels",
         channels.isEmpty() ? QStringLiteral("-") : channels.join(QStringLiteral(", "))},
        {"Signal", signal},
        {"Time", point.time.empty() ? QStringLiteral("-") : html(point.time)},
        {"Position", html(point.latitude) + QStringLiteral(", ") + html(point.longitude)}};
    if (accessPoint) {
        // The pin stands at its strongest sighting, or at the centroid of its sightings.
        rows[4].first = accessPoint->radiusM ? "Weighted centre" : "Strongest at";
        rows.push_back({"Sightings", grouped(accessPoint->sightings)});
        rows.push_back({"First seen", html(accessPoint->firstSeen)});
        rows.push_back({"Last seen", html(accessPoint->lastSeen)});
        if (accessPoint->radiusM)
            rows.push_back(
                {"Spread", QStringLiteral("%1 m").arg(*accessPoint->radiusM, 0, 'f', 1)});
    }
    QString text =
        QStringLiteral("<h3 style='margin-bottom:2px'>%1</h3><table cellspacing=0>").arg(name);
    for (const auto& [label, value] : rows)
        text +=
            QStringLiteral("<tr><td style='color:#666;padding-right:8px'>%1:</td><td>%2</td></tr>")
                .arg(QString::fromLatin1(label), value);
    return text + QStringLiteral("</table>");
}

}  // namespace

MapWindow::MapWindow(QWidget& owner, MapWindowPaths paths, bool perAccessPoint,
                     ApPosition apPosition)
    : QWidget(&owner, Qt::Window),
      paths_(std::move(paths)),
      perAccessPoint_(perAccessPoint),
      apPosition_(apPosition) {
    setObjectName(QStringLiteral("MapWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption + paths_.logTitle);
    setWindowIcon(applicationIcon());
    buildControls();

    // The side panel names makers where the vendor list can be read; without it, none.
    try {
        vendors_ = LoadVendorList(paths_.vendorList);
    } catch (const std::exception&) {
        vendors_.reset();
    }
    tiles_ = new TileSource(paths_.tileUrlTemplate, paths_.tileCacheFolder, this);
    // While the last request failed the status says so, with a link that retries at once;
    // tiles that still come from the disk cache are said to be all there is.
    connect(tiles_, &TileSource::offline, this, [this] { showOffline(kOffline); });
    connect(tiles_, &TileSource::tileReady, this, [this] {
        if (offlineShown_ && tiles_->isOffline()) showOffline(kOfflineCached);
    });
    connect(tiles_, &TileSource::online, this, [this] {
        if (offlineShown_) setStatus(summary_);
    });
    connect(statusLine_, &QLabel::linkActivated, this, [this] { tiles_->retryNow(); });
    canvas_->setTileSource(tiles_);

    resize(1000, 700);
    // Polished and laid out, the window knows how small it can be before it is placed.
    ensurePolished();
    layout()->activate();
    // Beside the main window and clear of the windows open beside it (the one whose "Show on
    // Map" opens it among them), or where it was last.
    QList<QRect> open;
    for (const QWidget* other : owner.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (other != this && other->isWindow() && other->isVisible())
            open.append(other->frameGeometry());
    placeWindow(this, owner, 3, true, open);
    layout()->activate();  // the canvas takes its size before the first fit
    build();
    fitView();
}

MapWindow::~MapWindow() {
    if (isVisible()) rememberPlace(this);
}

void MapWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The keys zoom and pan from the start.
    canvas_->setFocus(Qt::OtherFocusReason);
}

void MapWindow::hideEvent(QHideEvent* event) {
    rememberPlace(this);
    QWidget::hideEvent(event);
}

void MapWindow::buildControls() {
    // The legend two by two, infrastructure above ad hoc, so the window stays narrow.
    auto* boxes = new QGridLayout;
    boxes->setHorizontalSpacing(12);
    boxes->setVerticalSpacing(0);
    for (const LegendEntry& entry : kLegend) {
        auto* box = new QCheckBox(legendText(entry.status, 0), this);
        box->setObjectName(QString::fromLatin1(entry.name));
        box->setToolTip(QString::fromLatin1(entry.tip));
        box->setIcon(swatch(MapCanvas::statusColour(entry.status)));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this,
                [this, status = entry.status](bool on) { canvas_->setStatusShown(status, on); });
        const auto at = static_cast<int>(&entry - kLegend);
        boxes->addWidget(box, at / 2, at % 2);
        legend_[static_cast<std::size_t>(entry.status)] = box;
    }
    auto* legend = new QHBoxLayout;
    legend->addLayout(boxes);
    legend->addStretch();
    clearButton_ = new QPushButton(QStringLiteral("Show All"), this);
    clearButton_->setObjectName(QStringLiteral("clearButton"));
    // Its room is kept while hidden: the buttons stay put and the window's least size holds.
    QSizePolicy keepRoom = clearButton_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    clearButton_->setSizePolicy(keepRoom);
    clearButton_->hide();
    connect(clearButton_, &QPushButton::clicked, this, &MapWindow::clearHighlight);
    auto* fit = new QPushButton(QStringLiteral("Fit"), this);
    fit->setObjectName(QStringLiteral("fitButton"));
    connect(fit, &QPushButton::clicked, this, &MapWindow::fitView);
    auto* save = new QPushButton(QStringLiteral("Save Image..."), this);
    save->setObjectName(QStringLiteral("saveImageButton"));
    connect(save, &QPushButton::clicked, this, &MapWindow::saveImage);
    for (QPushButton* button : {clearButton_, fit, save}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
    }
    // Two by two as well: Fit and Save Image... above, Show All below them.
    auto* buttons = new QGridLayout;
    buttons->setSpacing(2);
    buttons->addWidget(fit, 0, 0);
    buttons->addWidget(save, 0, 1);
    buttons->addWidget(clearButton_, 1, 0, 1, 2);
    legend->addLayout(buttons);

    canvas_ = new MapCanvas(this);
    connect(canvas_, &MapCanvas::picked, this, &MapWindow::showPicked);
    connect(canvas_, &MapCanvas::cursorMoved, this, [this](double latitude, double longitude) {
        cursorPosition_->setText(QStringLiteral("%1\u00b0 %2, %3\u00b0 %4")
                                     .arg(std::abs(latitude), 0, 'f', 5)
                                     .arg(QChar::fromLatin1(latitude < 0 ? 'S' : 'N'))
                                     .arg(std::abs(longitude), 0, 'f', 5)
                                     .arg(QChar::fromLatin1(longitude < 0 ? 'W' : 'E')));
    });
    connect(canvas_, &MapCanvas::cursorLeft, this, [this] { cursorPosition_->clear(); });

    details_ = new QTextBrowser(this);
    details_->setObjectName(QStringLiteral("details"));
    details_->setOpenLinks(false);
    details_->setPlaceholderText(QStringLiteral("Click a dot to see its sightings here."));
    auto* splitter = new QSplitter(this);
    splitter->addWidget(canvas_);
    splitter->addWidget(details_);
    splitter->setStretchFactor(0, 1);
    splitter->setCollapsible(0, false);
    splitter->setSizes({760, 240});

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    // A long status is cut at the window's edge: it never widens the window past the screen.
    statusLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cursorPosition_ = new QLabel(this);
    cursorPosition_->setObjectName(QStringLiteral("cursorPosition"));
    cursorPosition_->setMinimumWidth(220);
    cursorPosition_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* status = new QHBoxLayout;
    status->addWidget(statusLine_, 1);
    status->addWidget(cursorPosition_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->setSpacing(4);
    layout->addLayout(legend);
    layout->addWidget(splitter, 1);
    layout->addLayout(status);
    setFocusProxy(canvas_);
}

void MapWindow::build() {
    canvas_->setSightings(nullptr);
    details_->clear();
    // A working file that cannot be read is reported over the main window; the map is empty.
    if (!reportingFileErrors(parentWidget(), [&] {
            sightings_ = map::SightingMap::build(paths_.workingFile, perAccessPoint_, apPosition_);
        }))
        sightings_ = map::SightingMap();
    canvas_->setSightings(&sightings_);
    canvas_->setMarker(std::nullopt);
    for (const LegendEntry& entry : kLegend)
        legend_[static_cast<std::size_t>(entry.status)]->setText(
            legendText(entry.status, sightings_.count(entry.status)));
    summary_ = perAccessPoint_ ? plural(sightings_.size(), "access point", "access points")
                               : plural(sightings_.size(), "sighting", "sightings");
    setStatus(summary_);
    if (selection_) highlight();
}

void MapWindow::setPerAccessPoint(bool perAccessPoint) {
    if (perAccessPoint == perAccessPoint_) return;
    perAccessPoint_ = perAccessPoint;
    build();
}

void MapWindow::setApPosition(ApPosition apPosition) {
    if (apPosition == apPosition_) return;
    apPosition_ = apPosition;
    if (perAccessPoint_) build();
}

void MapWindow::showSelection(const std::optional<MapSelection>& selection) {
    if (!selection) {
        clearHighlight();
        setStatus(QStringLiteral("Nothing selected to show"));
        return;
    }
    selection_ = selection;
    highlight();
    map::WorldPoint topLeft, bottomRight;
    if (sightings_.bounds(topLeft, bottomRight, true)) canvas_->fitTo(topLeft, bottomRight);
}

void MapWindow::highlight() {
    const bool done = reportingFileErrors(this, [&] {
        sightings_.highlight(paths_.workingFile, selection_->records.filter,
                             selection_->records.byExtras);
    });
    if (!done) {
        clearHighlight();
        return;
    }
    const std::size_t shown = sightings_.highlightedCount();
    setStatus(shown > 0 ? QStringLiteral("Showing ") + selection_->title + QStringLiteral(": ") +
                              plural(shown, perAccessPoint_ ? "access point" : "sighting",
                                     perAccessPoint_ ? "access points" : "sightings")
                        : QStringLiteral("No sighting of ") + selection_->title +
                              QStringLiteral(" is on the map"));
    clearButton_->setVisible(true);
    canvas_->update();
}

void MapWindow::clearHighlight() {
    selection_.reset();
    sightings_.clearHighlight();
    clearButton_->setVisible(false);
    canvas_->update();
}

void MapWindow::fitView() {
    map::WorldPoint topLeft, bottomRight;
    if (sightings_.bounds(topLeft, bottomRight, false))
        canvas_->fitTo(topLeft, bottomRight);
    else
        canvas_->setView(MapCanvas::kMinZoom, 0, 0);
}

void MapWindow::showPicked(const std::vector<std::uint32_t>& numbers) {
    canvas_->setMarker(std::nullopt);
    if (numbers.empty()) {
        details_->clear();
        return;
    }
    std::vector<MapPoint> points;
    std::vector<AccessPointSummary> summaries;
    std::vector<std::pair<std::string, std::string>> places;
    if (!reportingFileErrors(this, [&] {
            points = map::describeRecordsByNumber(paths_.workingFile, numbers,
                                                  vendors_ ? &*vendors_ : nullptr);
            if (perAccessPoint_)
                summaries =
                    map::accessPointSummaries(paths_.workingFile, numbers, apPosition_, &places);
        }))
        return;
    // A pin at the centroid of its sightings is shown where it stands.
    for (std::size_t i = 0; i < points.size() && i < places.size(); ++i) {
        const auto latitude = coordinateDegrees(places[i].first, 'N', 'S');
        const auto longitude = coordinateDegrees(places[i].second, 'E', 'W');
        if (!latitude || !longitude) continue;
        points[i].latitude = QString::number(*latitude, 'f', 7).toStdString();
        points[i].longitude = QString::number(*longitude, 'f', 7).toStdString();
    }
    QString text = QStringLiteral("<p style='color:#666'>%1 on this spot</p>")
                       .arg(plural(points.size(), perAccessPoint_ ? "access point" : "sighting",
                                   perAccessPoint_ ? "access points" : "sightings"));
    for (std::size_t i = 0; i < points.size(); ++i)
        text += describe(points[i], i < summaries.size() ? &summaries[i] : nullptr);
    details_->setHtml(text);
    if (!points.empty())
        canvas_->setMarker(
            map::project(QString::fromStdString(points.front().latitude).toDouble(),
                         QString::fromStdString(points.front().longitude).toDouble()),
            summaries.empty() ? 0 : summaries.front().radiusM.value_or(0));
}

void MapWindow::saveImage() {
    QString proposed = QFileInfo(paths_.logTitle).completeBaseName();
    imageDialog_.setFileName((proposed.isEmpty() ? QStringLiteral("map") : proposed) +
                             QStringLiteral("-map.png"));
    imageDialog_.setDefaultExtension(QStringLiteral("png"));
    imageDialog_.setKeepsOwnFolder(true);  // an image is no export: the export folder stays
    imageDialog_.setFilters({{QStringLiteral("PNG image (*.png)"), QStringLiteral("png")}}, 0);
    if (!showExportSaveDialog(this, imageDialog_, exportFolder)) return;

    const QString path = imageDialog_.fileName();
    const QImage image = imageWithLegend();
    // Written beside the target and renamed over it when complete: a failure keeps an earlier
    // file of that name as it was.
    QSaveFile file(path);
    QString failure;
    if (!file.open(QIODevice::WriteOnly)) {
        failure = file.errorString();
    } else {
        QImageWriter writer(&file, "png");
        if (!writer.write(image)) {
            failure = writer.errorString();
            file.cancelWriting();
        } else if (!file.commit()) {
            failure = file.errorString();
        }
    }
    if (!failure.isEmpty()) {
        MessageBox::error(this, QString::fromLatin1(kApplicationTitle),
                          path + QStringLiteral(": the image could not be written (") + failure +
                              QStringLiteral(")"));
        return;
    }
    setStatus(QStringLiteral("Image saved: ") + imageDialog_.fileTitle());
}

QImage MapWindow::imageWithLegend() {
    QImage image = canvas_->snapshot();
    // The legend of the statuses shown, in the top-left corner; the scale bar is the canvas's.
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();
    QStringList lines;
    std::vector<map::Status> statuses;
    for (const LegendEntry& entry : kLegend)
        if (canvas_->shownStatuses() & map::statusBit(entry.status)) {
            statuses.push_back(entry.status);
            lines << legendText(entry.status, sightings_.count(entry.status));
        }
    if (selection_) lines << QStringLiteral("Highlighted: ") + selection_->title;
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    const int lineHeight = std::max(16, metrics.height() + 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawRoundedRect(QRect(8, 8, widest + 38, lineHeight * int(lines.size()) + 10), 4, 4);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int y = 13 + lineHeight * int(i);
        if (std::size_t(i) < statuses.size()) {
            painter.setPen(QPen(QColor(30, 30, 30, 200), 1.0));
            painter.setBrush(MapCanvas::statusColour(statuses[std::size_t(i)]));
            painter.drawEllipse(QRectF(16, y + (lineHeight - 11) / 2.0, 11, 11));
        }
        painter.setPen(QColor(30, 30, 30));
        painter.drawText(QRect(34, y, widest + 4, lineHeight), Qt::AlignVCenter, lines[i]);
    }
    return image;
}

void MapWindow::setStatus(const QString& text) {
    offlineShown_ = false;
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setText(text);
}

void MapWindow::showOffline(const QString& text) {
    offlineShown_ = true;
    statusLine_->setTextFormat(Qt::RichText);
    statusLine_->setText(text + kRetryLink);
}

}  // namespace velmora
