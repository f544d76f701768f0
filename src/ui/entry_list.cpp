// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/entry_list.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <utility>

namespace velmora {

// The entries, and the numbers of those the filter lets through (all of them while the filter
// is empty, without a table of numbers).
class EntryListModel : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        if (parent.isValid()) return 0;
        return filtered_ ? static_cast<int>(shown_.size()) : static_cast<int>(entries_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
        return entries_.at(entryOf(index.row()));
    }

    int entryOf(int row) const {
        return filtered_ ? shown_.at(static_cast<std::size_t>(row)) : row;
    }
    // The row showing entry `number`, or -1 when the filter hides it.
    int rowOf(int number) const {
        if (number < 0 || number >= entries_.size()) return -1;
        if (!filtered_) return number;
        const auto at = std::lower_bound(shown_.begin(), shown_.end(), number);
        return at != shown_.end() && *at == number ? static_cast<int>(at - shown_.begin()) : -1;
    }
    const QStringList& entries() const { return entries_; }
    const QString& filter() const { return filter_; }

    void reset(QStringList entries, QString filter) {
        beginResetModel();
        entries_ = std::move(entries);
        filter_ = std::move(filter);
        filtered_ = !filter_.isEmpty();
        shown_.clear();
        if (filtered_)
            for (int i = 0; i < entries_.size(); ++i)
                if (entries_.at(i).contains(filter_, Qt::CaseInsensitive)) shown_.push_back(i);
        endResetModel();
    }

  private:
    QStringList entries_;
    QString filter_;
    bool filtered_ = false;
    std::vector<int> shown_;  // ascending
};

EntryList::EntryList(QWidget* parent, const QString& name)
    : QListView(parent), model_(new EntryListModel(this)), filterBox_(new QLineEdit(parent)) {
    setObjectName(name);
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every entry is one line of text: the view need not measure each of thousands of them.
    setUniformItemSizes(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &EntryList::noteSelection);

    filterBox_->setObjectName(name + QStringLiteral("Filter"));
    filterBox_->setPlaceholderText(QStringLiteral("Filter"));
    filterBox_->setClearButtonEnabled(true);
    filterBox_->installEventFilter(this);
    connect(filterBox_, &QLineEdit::textChanged, this, &EntryList::setFilter);
}

EntryList::~EntryList() = default;

void EntryList::setEntries(QStringList entries) {
    quiet_ = true;
    model_->reset(std::move(entries), model_->filter());
    quiet_ = false;
    noteSelection();
}

int EntryList::count() const {
    return static_cast<int>(model_->entries().size());
}

QString EntryList::entry(int number) const {
    return model_->entries().value(number);
}

QStringList EntryList::shownEntries() const {
    QStringList shown;
    for (int row = 0; row < model_->rowCount(); ++row) shown << entry(model_->entryOf(row));
    return shown;
}

int EntryList::selectedEntry() const {
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : model_->entryOf(rows.first().row());
}

QString EntryList::selectedText() const {
    return entry(selectedEntry());
}

void EntryList::selectEntry(int number) {
    if (number >= 0 && number < count() && model_->rowOf(number) < 0) filterBox_->clear();
    const int row = model_->rowOf(number);
    if (row < 0) {
        selectionModel()->clear();
        return;
    }
    setCurrentIndex(model_->index(row));
}

int EntryList::entryAt(const QPoint& position) const {
    const QModelIndex index = indexAt(position);
    return index.isValid() ? model_->entryOf(index.row()) : -1;
}

void EntryList::setFilter(const QString& text) {
    if (filterBox_->text() != text) {
        filterBox_->setText(text);  // which comes back here
        return;
    }
    if (text == model_->filter()) return;
    const int selected = selectedEntry();
    quiet_ = true;
    model_->reset(model_->entries(), text);
    const int row = model_->rowOf(selected);
    if (row >= 0) setCurrentIndex(model_->index(row));
    quiet_ = false;
    noteSelection();
}

void EntryList::noteSelection() {
    if (quiet_) return;
    const int now = selectedEntry();
    if (now == selected_) return;
    selected_ = now;
    emit entrySelected();
}

void EntryList::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        const QModelIndexList rows = selectionModel()->selectedRows();
        QStringList texts;
        for (const QModelIndex& index : rows) texts << index.data().toString();
        if (!texts.isEmpty()) QApplication::clipboard()->setText(texts.join(u'\n'));
        event->accept();
        return;
    }
    const bool upOrDown = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (upOrDown && event->modifiers() == Qt::NoModifier && selectedEntry() < 0 &&
        model_->rowCount() > 0) {
        // The view would move on from the current entry it keeps without selecting it.
        setCurrentIndex(model_->index(0));
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void EntryList::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) filterBox_->setEnabled(isEnabled());
    QListView::changeEvent(event);
}

bool EntryList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == filterBox_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !filterBox_->text().isEmpty()) {
        filterBox_->clear();
        return true;
    }
    return QListView::eventFilter(watched, event);
}

}  // namespace velmora
