// SPDX-License-Identifier: GPL-3.0-or-later
// The Advanced windows' list: what is selected after each thing a user does with the list and
// its filter box, and that each of those things tells the windows once (entrySelected), or not
// at all when the selection stays.
#include <vector>

#include "support/ui_test_support.h"

using namespace velmora::uitest;

namespace {

const QStringList kEntries = {"HOME", "OFFICE", "OTHER", "A/B", "#BLANK#"};

// One step: `action` is "click E", "ctrl-click E" (the mouse on entry E), "type T" (typed in the
// filter box), "escape" (in the filter box), "down", "up", "select E" (selectEntry), "filter T"
// (setFilter), "entries" (setEntries, the same ones again) or "copy" (Ctrl+C: the selected
// entry is copied, nothing when none is). Then the filter box holds `filter`, `selected` is
// the selected entry ("" for none), and entrySelected was emitted `told` times.
struct Step {
    const char *action, *filter, *selected;
    int told;
};

// clang-format off
const struct Scenario {
    const char* name;
    std::vector<Step> steps;
} kScenarios[] = {
    {"a click selects, once; a Ctrl+click takes the pick back", {
        {"click OFFICE", "", "OFFICE", 1}, {"click OFFICE", "", "OFFICE", 0},
        {"click HOME", "", "HOME", 1}, {"copy", "", "HOME", 0}, {"ctrl-click HOME", "", "", 1},
        {"copy", "", "", 0}}},
    {"a filter keeps a shown pick", {
        {"click HOME", "", "HOME", 1}, {"type o", "o", "HOME", 0}, {"type m", "om", "HOME", 0},
        {"escape", "", "HOME", 0}}},
    {"a filter drops a hidden pick, for good", {
        {"click OFFICE", "", "OFFICE", 1}, {"type h", "h", "", 1}, {"escape", "", "", 0},
        {"type f", "f", "", 0}}},
    {"Down in a filtered list takes the first shown", {
        {"type ff", "ff", "", 0}, {"down", "ff", "OFFICE", 1}, {"down", "ff", "OFFICE", 0}}},
    {"Down after a hidden pick takes the first shown", {
        {"click A/B", "", "A/B", 1}, {"type t", "t", "", 1}, {"down", "t", "OTHER", 1}}},
    {"Up with nothing picked takes the first", {
        {"up", "", "HOME", 1}, {"up", "", "HOME", 0}, {"down", "", "OFFICE", 1}}},
    {"selecting a hidden entry clears the filter, one signal", {
        {"click OFFICE", "", "OFFICE", 1}, {"type ff", "ff", "OFFICE", 0},
        {"select HOME", "", "HOME", 1}}},
    {"selecting a hidden entry with nothing picked", {
        {"type ff", "ff", "", 0}, {"select #BLANK#", "", "#BLANK#", 1},
        {"select #BLANK#", "", "#BLANK#", 0}}},
    {"setFilter as typing does", {
        {"click A/B", "", "A/B", 1}, {"filter blank", "blank", "", 1},
        {"filter blank", "blank", "", 0}, {"filter", "", "", 0}}},
    {"new entries drop the pick, the filter stays", {
        {"type o", "o", "", 0}, {"click OTHER", "o", "OTHER", 1}, {"entries", "o", "", 1},
        {"entries", "o", "", 0}}},
};
// clang-format on

}  // namespace

class EntryListTest : public QObject {
    Q_OBJECT

  private slots:
    void eachActionSelectsAndTellsOnce_data() { rows(kScenarios); }
    void eachActionSelectsAndTellsOnce() {
        QWidget window;
        window.resize(300, 300);
        auto* list = new EntryList(&window, "List2");
        list->setGeometry(0, 30, 300, 270);
        list->filterBox()->setGeometry(0, 0, 300, 25);
        list->setEntries(kEntries);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy told(list, &EntryList::entrySelected);

        for (const Step& step : fetch(kScenarios).steps) {
            const QString action = QString::fromLatin1(step.action);
            const QString verb = action.section(' ', 0, 0), what = action.section(' ', 1);
            if (verb == "click" || verb == "ctrl-click") {
                const int shownRow = list->shownEntries().indexOf(what);
                QVERIFY2(shownRow >= 0, step.action);
                const QRect at = list->visualRect(list->model()->index(shownRow, 0));
                QTest::mouseClick(list->viewport(), Qt::LeftButton,
                                  verb == "click" ? Qt::NoModifier : Qt::ControlModifier,
                                  at.center());
            } else if (verb == "type") {
                QTest::keyClicks(list->filterBox(), what);
            } else if (verb == "escape") {
                QTest::keyClick(list->filterBox(), Qt::Key_Escape);
            } else if (verb == "down" || verb == "up") {
                QTest::keyClick(list, verb == "up" ? Qt::Key_Up : Qt::Key_Down);
            } else if (verb == "select") {
                list->selectEntry(kEntries.indexOf(what));
            } else if (verb == "filter") {
                list->setFilter(what);
            } else if (verb == "copy") {
                QApplication::clipboard()->setText("before");
                QTest::keySequence(list, QKeySequence::Copy);
                QCOMPARE(QApplication::clipboard()->text(),
                         *step.selected ? step.selected : "before");
            } else {
                list->setEntries(kEntries);
            }
            QCOMPARE(list->filterBox()->text(), step.filter);
            // What an action of the window reads: the number and the text of one shown entry.
            QCOMPARE(list->selectedText(), step.selected);
            QCOMPARE(list->selectedEntry(), kEntries.indexOf(step.selected));
            if (*step.selected) QVERIFY(list->shownEntries().contains(step.selected));
            QVERIFY2(told.size() == step.told,
                     qPrintable(QStringLiteral("%1: %2 signals").arg(action).arg(told.size())));
            told.clear();
        }
    }
};

QTEST_MAIN(EntryListTest)
#include "entry_list_test.moc"
