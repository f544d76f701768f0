// SPDX-License-Identifier: GPL-3.0-or-later
// The Advanced windows as a desktop user meets them: filter boxes, copying, keys, access keys,
// captions that fit, where the windows open and that they keep their place.
#include "platform/program_settings.h"
#include "support/ui_test_support.h"
#include "ui/Form3.h"
#include "ui/map_window.h"
#include "ui/window_places.h"

using namespace velmora::uitest;

// clang-format off
// A filter typed in a window's list, the entry selected before: what stays selected, and what
// its export writes then (an empty `exported`: nothing, with `box` shown). What a filter shows
// and keeps selected is the list's (entry_list_test); a row per window (the criteria window's
// filters: criteriaKeysFiltersAndButtons).
const struct Filtering {
    const char *name, *window, *picked, *filter, *selected, *exported, *box;
} kFilterings[] = {
    {"Form2 drops a hidden pick", "Form2", "HOME", "ff", "", "", "No AP Selected To Export"},
    {"Form3 by MAC digits", "Form3", "00:0A:95:00:00:02 - HOME", "95:00:00:0",
     "00:0A:95:00:00:02 - HOME", "HOME;00:0A:95:00:00:02", nullptr},
};
// clang-format on

// The windows a menu item opens, and each one's cascade place.
const char* const kAdvancedWindows[] = {"Form2", "Form3", "Form4"};

static QString plain(QString caption) {
    return caption.remove('&');
}

// The access keys of `captions` that clash, e.g. "Alt+C: Close, Copy"; empty when none do.
static QString clashes(const QStringList& captions) {
    QMap<QString, QStringList> byKey;
    for (const QString& caption : captions)
        if (const QKeySequence key = QKeySequence::mnemonic(caption); !key.isEmpty())
            byKey[key.toString()] << plain(caption);
    QStringList found;
    for (auto it = byKey.begin(); it != byKey.end(); ++it)
        if (it.value().size() > 1) found << it.key() + ": " + it.value().join(", ");
    return found.join("; ");
}

class AdvancedDesktopTest : public QObject, Ui {
    Q_OBJECT

  private slots:
    void init() {
        freshSeams();
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Velmora", "velmora")
            .remove("windows");
    }

    // The filter box stands above its list; the export and the map take the shown entry
    // selected (or find none).
    void filterNarrowsTheList_data() { rows(kFilterings); }
    void filterNarrowsTheList() {
        const Filtering& f = fetch(kFilterings);
        Program p;
        QWidget* w = p.loadAndShow(f.window);
        pick(w, f.picked);
        auto* box = w->findChild<QLineEdit*>("List2Filter");
        QVERIFY(box && box->isEnabled() && box->geometry().bottom() < list(w)->geometry().top());
        QTest::keyClicks(box, f.filter);
        QCOMPARE(list(w)->selectedText(), f.selected);
        // Show on Map takes what the export takes, never a pick the filter hides.
        const auto mapped = qobject_cast<AdvancedWindow*>(w)->mapSelection();
        QCOMPARE(mapped.has_value(), *f.selected != 0);
        if (mapped) QVERIFY(mapped->title.contains(QString(f.picked).section(' ', 0, 0)));
        p.save(w, "out.txt");
        const QString out = p.logs.filePath("out.txt");
        QCOMPARE(QFile::exists(out) ? exported(out) : "nothing",
                 *f.exported ? f.exported : "nothing");
        QVERIFY(f.box ? oneBox(f.box, MessageBox::Kind::Information)
                      : MessageBox::shown().isEmpty());
    }

    // The MAC address window counts the entries its list holds (what it holds is the core's).
    void macWindowCountsItsEntries() {
        Program p;
        QCOMPARE(text(p.loadAndShow("Form3"), "Label1"), "Number Of Unique AP's ->6");
    }

    // The criteria window: Tab into an option group lands on its checked option, and on from
    // there leaves it; the filters follow their lists' modes; every caption leaves its button's
    // margins free, no two push buttons touch, and Show on Map is as wide as the buttons above.
    void criteriaKeysFiltersAndButtons() {
        Program p;
        QWidget* w = p.loadAndShow("Form4");
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        click(w, "Option5");
        click(w, "Option2");
        list(w, "List1")->setFocus();  // disabled in AP-name mode: the focus goes on
        auto* before = w->findChild<QWidget*>("List2");
        before->setFocus();
        QStringList landed;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
            landed << w->focusWidget()->objectName();
        }
        QCOMPARE(landed.join(' '), "Option5 Option2 Option7 Command1 Command2 ShowOnMap");
        // The arrow keys still move within a group, checking as they go.
        w->findChild<QWidget*>("Option5")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w->findChild<QWidget*>("Option5"), Qt::Key_Down);
        QVERIFY(w->focusWidget()->objectName() == "Option6" &&
                w->findChild<QRadioButton*>("Option6")->isChecked());

        // The filters follow their lists' modes, and a recount keeps List1's.
        auto* names = w->findChild<QLineEdit*>("List2Filter");
        auto* macs = w->findChild<QLineEdit*>("List1Filter");
        QVERIFY(names->isEnabled() && !macs->isEnabled());
        pick(w, "HOME");
        QTest::keyClicks(macs, ":01");  // typed while disabled: not taken
        click(w, "Option8");
        QVERIFY(!names->isEnabled() && macs->isEnabled());
        QTest::keyClicks(macs, ":02");
        QCOMPARE(list(w, "List1")->shownEntries(), QStringList{"00:0A:95:00:00:02"});
        click(w, "Option1");  // BSS only: 00:0A:95:00:00:01
        QVERIFY(list(w, "List1")->shownEntries().isEmpty() && list(w, "List1")->count() == 1);
        QCOMPARE(text(w, "Label2"), "Matching Records:1");
        // The vendor shown stays that of the last entry picked, not one filtered away.
        click(w, "Option3");
        pick(w, "00:0A:95:00:00:02", "List1");
        QCOMPARE(text(w, "Label1"), " Example Corp");

        const int margins = 2 * (w->style()->pixelMetric(QStyle::PM_ButtonMargin) +
                                 w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
        const QList<QPushButton*> buttons = w->findChildren<QPushButton*>();
        for (const QPushButton* b : buttons) {
            QVERIFY2(b->fontMetrics().horizontalAdvance(plain(b->text())) + margins <= b->width(),
                     qPrintable(b->objectName()));
            for (const QPushButton* other : buttons)
                QVERIFY(other == b ||
                        !b->geometry().adjusted(-1, -1, 1, 1).intersects(other->geometry()));
        }
        QCOMPARE(w->findChild<QWidget*>("ShowOnMap")->width(),
                 w->findChild<QWidget*>("Command1")->width());
    }

    // The WiGLE sample: the log type, the status bar, and the names as logged in the Advanced
    // lists (two different non-Latin names are two groups). Within a menu, the menu bar, or a
    // window, no two access keys are the same.
    void wigleNamesAndAccessKeys() {
        Program p;
        p.open(QString::fromStdString(velmora::test::repoFile("samples/wigle-phone.csv").string()));
        QCOMPARE(text(p.form.get(), "Label14"), "WiGLE CSV");
        QVERIFY(p.statusBar().contains("6 other radio entries skipped"));
        for (const char* window : kAdvancedWindows) {
            QWidget* w = p.show(window);
            const QString shown = entries(w).join('|');
            for (const QString& name : QString::fromUtf8("Дом|中文网络|📶 FREE WIFI").split('|'))
                QVERIFY2(shown.contains(name), qPrintable(name));
            QStringList captions;
            for (const QPushButton* b : w->findChildren<QPushButton*>()) {
                QVERIFY2(!QKeySequence::mnemonic(b->text()).isEmpty(), qPrintable(b->text()));
                captions << b->text();
            }
            QVERIFY2(clashes(captions).isEmpty(), qPrintable(clashes(captions)));
        }
        QStringList bar;
        for (QAction* menu : p.form->menuBar()->actions()) {
            bar << menu->text();
            QStringList items;
            for (QAction* item : menu->menu()->actions()) items << item->text();
            QVERIFY2(clashes(items).isEmpty(), qPrintable(clashes(items)));
        }
        QVERIFY2(clashes(bar).isEmpty(), qPrintable(clashes(bar)));
        for (const char* name : {"advanced", "help"}) {
            const QMenu* menu = p.form->findChild<QMenu*>(name);
            QVERIFY2(!QKeySequence::mnemonic(menu->title()).isEmpty(), name);
            for (const QAction* item : menu->actions())
                QVERIFY2(item->isSeparator() || !QKeySequence::mnemonic(item->text()).isEmpty(),
                         qPrintable(item->text()));
        }
    }

    // A box with a short text is still as wide as its title.
    void messageBoxShowsItsWholeTitle() {
        const auto box = MessageBox::build(MessageBox::Kind::Information, nullptr,
                                           kApplicationTitle, "No AP Selected To Export");
        box->show();
        QFont bold = box->font();
        bold.setBold(true);
        QVERIFY(box->width() >= QFontMetrics(bold).horizontalAdvance(kApplicationTitle) + 100);
    }

    // Beside the main window where there is room, else where it covers the least, always on
    // the screen as far as the window's size allows.
    void placeBesideTheMainWindow() {
        const QRect screen(0, 0, 1920, 1080), owner(100, 100, 400, 300);
        const struct {
            const char* name;
            QRect owner;
            QSize size;
            int cascade;
            QPoint at;
        } cases[] = {
            {"right", owner, {300, 250}, 0, {508, 100}},
            {"right, cascaded", owner, {300, 250}, 2, {508, 164}},
            {"right, moved up into the screen", {100, 800, 400, 250}, {300, 400}, 1, {508, 680}},
            {"left", {1500, 100, 400, 300}, {300, 250}, 0, {1192, 100}},
            {"below", {0, 0, 1900, 300}, {300, 250}, 0, {0, 308}},
            {"above", {0, 700, 1900, 380}, {300, 250}, 0, {0, 442}},
            {"no room: inside the screen", {0, 0, 1920, 1080}, {300, 250}, 0, {1620, 0}},
            {"larger than the screen: its top left", owner, {2000, 1200}, 0, {0, 0}},
        };
        for (const auto& c : cases)
            QVERIFY2(placeBeside(c.owner, c.size, c.cascade, screen) == c.at, c.name);
    }

    // The Advanced windows and the map open on the screen, off the main window's counts, apart
    // from each other, the map clear of the window whose Show on Map opened it; moved, they open
    // there again, unless that place is off every screen or was kept on a screen of another size
    // or scale.
    void windowsOpenBesideAndKeepTheirPlace() {
        Program p;
        const QRect area = p.form->screen()->availableGeometry();
        p.form->move(area.topLeft());
        p.form->show();
        p.load();
        QRect counts;
        for (int n : {3, 5, 7, 9, 11, 13}) {
            auto* label = p.form->findChild<QLabel*>(QStringLiteral("Label%1").arg(n));
            counts |= QRect(label->mapToGlobal(QPoint()), label->size());
        }
        QList<QRect> opened;  // the AP name window needs a summary log; it opens as these do
        for (const char* name : {"Form3", "Form4"}) {
            QWidget* w = p.show(name);
            const QRect frame = w->frameGeometry();
            QVERIFY2(area.contains(frame), name);
            if (area.width() - p.form->frameGeometry().width() >= w->width())
                QVERIFY2(!frame.intersects(counts), name);
            for (const QRect& other : opened) QVERIFY2(frame.topLeft() != other.topLeft(), name);
            opened << frame;
        }
        // The map beside both (its legend, filled once placed, makes it wider than placed).
        programSettings().setValue("windows/MapWindow", QRect(area.topLeft(), QSize(400, 300)));
        programSettings().setValue("windowScreens/MapWindow", "0,0,3200,2000@2");
        QWidget* w = p.window("Form3");
        pick(w, "00:0A:95:00:00:01 - HOME");
        click(w, "ShowOnMap");
        auto* map = p.form->findChild<MapWindow*>("MapWindow");
        const QRect frame = map->frameGeometry();
        QVERIFY(area.contains(frame) && !frame.intersects(p.form->frameGeometry()) &&
                !frame.intersects(w->frameGeometry()));

        const QPoint moved = area.topLeft() + QPoint(30, 40);
        w->move(moved);
        w->close();
        map->resize(600, 450);
        map->move(moved);
        map->close();
        QCOMPARE(p.show("Form3")->pos(), moved);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        p.trigger("Map");
        map = p.form->findChild<MapWindow*>("MapWindow");
        QCOMPARE(map->pos(), moved);
        QCOMPARE(map->size(), QSize(600, 450));

        p.window("Form3")->move(area.bottomRight() + QPoint(50, 50));
        p.window("Form3")->close();
        QVERIFY(area.contains(p.show("Form3")->frameGeometry()));
    }
};

QTEST_MAIN(AdvancedDesktopTest)
#include "advanced_desktop_test.moc"
