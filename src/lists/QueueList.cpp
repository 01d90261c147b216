// The conversion queue's buttons and list: the four buttons move source files in and out of the queue
// model, and the list, its scroll range and the totals label show the model.

#include "lists/ListHelpers.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

void MainForm::queueSourceEntries(bool selectedOnly) {
    for (int i = 0; i < SFileList->count(); ++i) {
        QListWidgetItem* entry = SFileList->item(i);
        if (selectedOnly && !entry->isSelected())
            continue;
        // Read afresh for every file, as the folder field is the one source of the folder.
        m_queue.add(AddPathSep(SelectFolderText[0]->text()) + entry->text());
    }
}

void MainForm::OneSelect_Click() {
    BusyScope busy(*this);
    queueSourceEntries(true);
}

void MainForm::AllSelect_Click() {
    BusyScope busy(*this);
    queueSourceEntries(false);
}

void MainForm::OneRemove_Click() {
    BusyScope busy(*this);
    QList<int> rows;
    for (const QListWidgetItem* item : SelectList->selectedItems())
        rows.append(SelectList->row(item));
    m_queue.removeRows(rows);
    if (m_queue.count() < 1)
        m_queue.clear();
}

void MainForm::AllRemove_Click() {
    BusyScope busy(*this);
    m_queue.clear();
}

void MainForm::connectQueue() {
    connect(&m_queue, &core::ConversionQueue::added, this, [this](const QString& path) {
        SelectList->addItem(path);
        applyQueueExtent();
        showQueueTotals();
    });
    // Entries taken out: the kept ones are put back in one go, which costs far less than taking entries
    // out one by one, each renumbering everything behind it.
    connect(&m_queue, &core::ConversionQueue::reset, this, [this] {
        SelectList->clear();
        SelectList->addItems(m_queue.paths());
        applyQueueExtent();
        showQueueTotals();
    });
}

void MainForm::showQueueTotals() {
    SelectFileSize->setText(queueTotalsText(m_queue.count(), m_queue.bytes()));
}

void MainForm::applyQueueExtent() {
    QScrollBar* bar = SelectList->horizontalScrollBar();
    // The list recomputes its range from its entries whenever it lays them out; the guard raises it
    // again to the extent each time, so the range never falls below what the queue's entries were given.
    auto raise = [this, bar] {
        const int maximum = m_queue.extent() - SelectList->viewport()->width();
        if (bar->maximum() < maximum)
            bar->setRange(bar->minimum(), maximum);
    };
    if (!m_queueExtentGuarded) {
        m_queueExtentGuarded = true;
        connect(bar, &QScrollBar::rangeChanged, this, raise);
    }
    if (m_queue.extent() == 0)
        bar->setRange(0, 0); // the queue is empty: no horizontal scroll bar
    else
        raise();
}
