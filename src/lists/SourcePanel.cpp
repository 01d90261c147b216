// The source folder and list, the queue's buttons and the queue list: the four buttons move source
// files in and out of the queue model, and the list, its scroll range and the totals label show it.

#include "lists/SourcePanel.h"

#include "core/files/SourceFiles.h"
#include "ui/FormLayout.h"
#include "ui/ListTexts.h"
#include "ui/PathHelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

SourcePanel::SourcePanel(const PanelContext& context)
    : m_context(context), SelectFolderText(ui::childNamed<QLineEdit>(&context.window, "SelectFolderText(0)")),
      SelctFolder(ui::childNamed<QPushButton>(&context.window, "SelctFolder(0)")),
      SFileList(ui::childNamed<QListWidget>(&context.window, "SFileList")),
      AllSelect(ui::childNamed<QPushButton>(&context.window, "AllSelect")),
      OneSelect(ui::childNamed<QPushButton>(&context.window, "OneSelect")),
      OneRemove(ui::childNamed<QPushButton>(&context.window, "OneRemove")),
      AllRemove(ui::childNamed<QPushButton>(&context.window, "AllRemove")),
      SelectFileSize(ui::childNamed<QLabel>(&context.window, "SelectFileSize")),
      SelectList(ui::childNamed<QListWidget>(&context.window, "SelectList")) {
    m_context.onClick(SelctFolder, this, [this] { SelctFolder_Click(); });
    m_context.onClick(OneSelect, this, [this] { OneSelect_Click(); });
    m_context.onClick(AllSelect, this, [this] { AllSelect_Click(); });
    m_context.onClick(OneRemove, this, [this] { OneRemove_Click(); });
    m_context.onClick(AllRemove, this, [this] { AllRemove_Click(); });
    connect(SFileList, &QListWidget::itemDoubleClicked, this,
            [this] { m_context.busy.runHandler([this] { SFileList_DblClick(); }); });
    acceptFileDrops();

    connect(&m_queue, &core::ConversionQueue::added, this, [this](const QString& path) {
        SelectList->addItem(path);
        m_queueExtent = qMax(m_queueExtent, ui::queueExtentFor(path));
        applyQueueExtent();
        showQueueTotals();
    });
    // Entries taken out: the kept ones are put back in one go, which costs far less than taking entries
    // out one by one, each renumbering everything behind it.
    connect(&m_queue, &core::ConversionQueue::reset, this, [this] {
        SelectList->clear();
        SelectList->addItems(m_queue.paths());
        if (m_queue.count() == 0)
            m_queueExtent = 0;
        applyQueueExtent();
        showQueueTotals();
    });
}

QString SourcePanel::folder() const {
    return SelectFolderText->text();
}

void SourcePanel::setFolder(const QString& folder) {
    SelectFolderText->setText(folder);
    RefreshSourceList(SelectFolderText->text());
}

void SourcePanel::RefreshSourceList(const QString& folder) {
    SFileList->clear();
    SFileList->addItems(core::sortedByName(core::mp3FileNames(folder)));
    // Names that are not UTF-8 (CP932 names from an old Windows archive) cannot be listed; the count line
    // says how many were left out, and its tool tip how to get them listed.
    const int unlisted = core::undecodableMp3Names(folder);
    if (unlisted != m_unlistedNames) {
        m_unlistedNames = unlisted;
        showQueueTotals();
    }
}

void SourcePanel::SelctFolder_Click() {
    if (m_context.chooseFolder(SelectFolderText, SelctFolder))
        RefreshSourceList(SelectFolderText->text());
}

void SourcePanel::SFileList_DblClick() {
    // The current entry is the one double-clicked, even when several are selected.
    const QListWidgetItem* entry = SFileList->currentItem();
    if (entry && !entry->text().isEmpty())
        emit tagEditRequested(AddPathSep(SelectFolderText->text()) + entry->text());
}

void SourcePanel::queueSourceEntries(bool selectedOnly) {
    for (int i = 0; i < SFileList->count(); ++i) {
        QListWidgetItem* entry = SFileList->item(i);
        if (selectedOnly && !entry->isSelected())
            continue;
        // Read afresh for every file, as the folder field is the one source of the folder.
        m_queue.add(AddPathSep(SelectFolderText->text()) + entry->text());
    }
}

void SourcePanel::OneSelect_Click() {
    BusyScope busy(m_context.busy);
    queueSourceEntries(true);
}

void SourcePanel::AllSelect_Click() {
    BusyScope busy(m_context.busy);
    queueSourceEntries(false);
}

void SourcePanel::OneRemove_Click() {
    BusyScope busy(m_context.busy);
    QList<int> rows;
    for (const QListWidgetItem* item : SelectList->selectedItems())
        rows.append(SelectList->row(item));
    m_queue.removeRows(rows);
    if (m_queue.count() < 1)
        m_queue.clear();
}

void SourcePanel::AllRemove_Click() {
    BusyScope busy(m_context.busy);
    m_queue.clear();
}

void SourcePanel::showQueueTotals() {
    QString text = ui::queueTotalsText(m_queue.count(), m_queue.bytes());
    QString tip;
    if (m_unlistedNames > 0) {
        text += QStringLiteral("　（名前を読めない MP3 %1 個は一覧外）").arg(m_unlistedNames);
        tip = QStringLiteral(
                  "変換元フォルダに、名前が UTF-8 でないため一覧に出せない MP3 ファイルが %1 個あります。"
                  "名前を変えると一覧に出ます（例：convmv -f cp932 -t utf8 --notest *.mp3）。")
                  .arg(m_unlistedNames);
    }
    SelectFileSize->setText(text);
    SelectFileSize->setToolTip(tip);
}

void SourcePanel::applyQueueExtent() {
    QScrollBar* bar = SelectList->horizontalScrollBar();
    // The list recomputes its range from its entries whenever it lays them out; the guard raises it
    // again to the extent each time, so the range never falls below what the queue's entries were given.
    auto raise = [this, bar] {
        const int maximum = m_queueExtent - SelectList->viewport()->width();
        if (bar->maximum() < maximum)
            bar->setRange(bar->minimum(), maximum);
    };
    if (!m_queueExtentGuarded) {
        m_queueExtentGuarded = true;
        connect(bar, &QScrollBar::rangeChanged, this, raise);
    }
    if (m_queueExtent == 0)
        bar->setRange(0, 0); // the queue is empty: no horizontal scroll bar
    else
        raise();
}
