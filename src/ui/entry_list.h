// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListView>
#include <QString>
#include <QStringList>
#include <vector>

class QLineEdit;

namespace velmora {

class EntryListModel;

// A list of an Advanced window: a single-selection list of text entries held by a model, so
// that a hundred thousand entries are shown at once, and a filter that narrows what it shows
// to the entries containing a text (ignoring case).
//
// Entries are numbered by their place in setEntries(); the filter changes which of them are
// shown, never their numbers. The selection is always a shown entry: a filter that hides the
// selected entry clears the selection, so what a window exports or maps is what the list shows
// selected. entrySelected() is emitted whenever the selected entry changes, to another or to
// none, whether by the mouse, the keys, the filter or a new set of entries.
//
// Keys besides the view's own: Ctrl+C copies the selected entry; the first Down or Up in a
// list without a selection selects its first shown entry.
class EntryList : public QListView {
    Q_OBJECT

  public:
    // The list and its filter box, both children of `parent`, named `name` and
    // `name` + "Filter".
    EntryList(QWidget* parent, const QString& name);
    ~EntryList() override;

    // Replaces the entries; nothing is selected afterwards. The filter stays.
    void setEntries(QStringList entries);
    int count() const;
    QString entry(int number) const;
    // The entries the filter lets through, in order.
    QStringList shownEntries() const;

    // The selected entry's number, or -1.
    int selectedEntry() const;
    // The selected entry's text, or an empty text.
    QString selectedText() const;
    // Selects entry `number` (-1: none), making it the current one; clears the filter first if
    // it hides that entry.
    void selectEntry(int number);
    // The number of the entry shown at `position` in the viewport, or -1.
    int entryAt(const QPoint& position) const;

    // The filter box above the list: typing in it filters the list, Escape clears it. It is
    // enabled while the list is.
    QLineEdit* filterBox() const { return filterBox_; }
    void setFilter(const QString& text);

  signals:
    void entrySelected();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void noteSelection();

    EntryListModel* model_ = nullptr;
    QLineEdit* filterBox_ = nullptr;
    int selected_ = -1;   // as entrySelected() last told
    bool quiet_ = false;  // while the list itself restores a selection
};

}  // namespace velmora
