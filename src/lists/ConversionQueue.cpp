// The conversion queue: full paths of the files the next run converts, moved in and out by the four
// buttons beside it, with the running byte total and the horizontal scroll range the entries need.

#include "lists/ListHelpers.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

namespace {

// Queues the source entries for which take(i) is true, in source-list order, each path once.
template <typename Predicate> void queueSourceEntries(MainForm& form, Predicate take) {
    const int count = form.SFileList->count();
    for (int i = 0; i < count; ++i) {
        QListWidgetItem* entry = form.SFileList->item(i);
        if (!take(entry))
            continue;
        // Read afresh for every file, as the folder field is the one source of the folder.
        const QString path = AddPathSep(form.SelectFolderText[0]->text()) + entry->text();
        if (form.NotInQueue(path))
            form.AddQueueEntry(path);
    }
}

} // namespace

void MainForm::OneSelect_Click() {
    BusyScope busy(*this);
    queueSourceEntries(*this, [](QListWidgetItem* entry) { return entry->isSelected(); });
}

void MainForm::AllSelect_Click() {
    BusyScope busy(*this);
    queueSourceEntries(*this, [](QListWidgetItem*) { return true; });
}

void MainForm::OneRemove_Click() {
    BusyScope busy(*this);
    // Taking entries out one by one makes the list and its selection renumber everything behind each
    // one, which grows with the square of the queue; the entries that stay are put back in one go instead,
    // in their order, which is what the walk over the selected entries leaves.
    const QList<QListWidgetItem*> selected = SelectList->selectedItems();
    if (!selected.isEmpty()) {
        const QSet<QListWidgetItem*> leaving(selected.begin(), selected.end());
        QStringList kept;
        for (int i = 0; i < SelectList->count(); ++i) {
            const QString path = SelectList->item(i)->text();
            if (leaving.contains(SelectList->item(i))) {
                QueueBytes -= fileSizeOrZero(path);
                queuedPaths.remove(path);
            } else {
                kept.append(path);
            }
        }
        SelectList->clear();
        SelectList->addItems(kept);
        applyQueueExtent(); // removing entries never narrows the scroll range
    }

    if (SelectList->count() < 1)
        AllRemove_Click();
    else
        ShowQueueTotals();
}

void MainForm::AllRemove_Click() {
    BusyScope busy(*this);
    SelectList->clear();
    queuedPaths.clear();
    QueueBytes = 0;
    QueueExtent = 0;
    applyQueueExtent();
    ShowQueueTotals();
}

void MainForm::AddQueueEntry(const QString& path) {
    SelectList->addItem(path);
    queuedPaths.insert(path);
    const int extent = queueExtentFor(path);
    if (QueueExtent < extent) {
        QueueExtent = extent;
        applyQueueExtent();
    }
    QueueBytes += fileSizeOrZero(path);
    ShowQueueTotals();
}

bool MainForm::NotInQueue(const QString& path) const {
    // Exact, case-sensitive comparison, as a list walk comparing the texts would give.
    return !queuedPaths.contains(path);
}

void MainForm::ShowQueueTotals() {
    SelectFileSize->setText(queueTotalsText(SelectList->count(), QueueBytes));
}

void MainForm::applyQueueExtent() {
    QScrollBar* bar = SelectList->horizontalScrollBar();
    // The list recomputes its range from its entries whenever it lays them out; the guard raises it
    // again to the extent each time, so the range never falls below what the queue's entries were given.
    auto raise = [this, bar] {
        const int maximum = QueueExtent - SelectList->viewport()->width();
        if (bar->maximum() < maximum)
            bar->setRange(bar->minimum(), maximum);
    };
    if (!queueExtentGuarded) {
        queueExtentGuarded = true;
        connect(bar, &QScrollBar::rangeChanged, this, raise);
    }
    if (QueueExtent == 0)
        bar->setRange(0, 0); // the queue is empty: no horizontal scroll bar
    else
        raise();
}
