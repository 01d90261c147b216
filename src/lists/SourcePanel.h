#pragma once

#include "core/models/ConversionQueue.h"
#include "ui/Panel.h"

#include <QObject>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The upper left and right of the window: the source folder and its MP3 files, the four buttons that
// move files in and out of the conversion queue, and the queue with its totals. The queue is a model
// of the core; the list shows it, as wide as its widest entry asks.
class SourcePanel : public QObject {
    Q_OBJECT

  public:
    explicit SourcePanel(const PanelContext& context);

    core::ConversionQueue& queue() { return m_queue; }

    QString folder() const;
    // Shows the folder and lists its MP3 files.
    void setFolder(const QString& folder);
    // Re-reads the source list from a folder.
    void RefreshSourceList(const QString& folder);
    // Files and folders dropped onto the source list or the queue (SourceDrops.cpp): each MP3 file, and
    // the MP3 files of each folder in name order, join the queue once.
    void QueueDroppedPaths(const QStringList& paths);
    // "<<": empties the queue, as the end of a completed run does.
    void AllRemove_Click();

  signals:
    // A double-click on a source file asks for its tag editor.
    void tagEditRequested(const QString& path);

  private:
    void SelctFolder_Click();
    void OneSelect_Click();
    void AllSelect_Click();
    void OneRemove_Click();
    void SFileList_DblClick();
    // Queues the source list's entries (the selected ones only, or all), in their order, each path once.
    void queueSourceEntries(bool selectedOnly);
    void acceptFileDrops();
    void showQueueTotals();
    // Raises the queue list's horizontal scroll range to the queue's extent whenever the list
    // recomputes it.
    void applyQueueExtent();

    PanelContext m_context;
    QLineEdit* SelectFolderText;
    QPushButton* SelctFolder;
    QListWidget* SFileList;
    QPushButton* AllSelect;
    QPushButton* OneSelect;
    QPushButton* OneRemove;
    QPushButton* AllRemove;
    QLabel* SelectFileSize;
    QListWidget* SelectList;

    core::ConversionQueue m_queue;
    // Pixels: the widest entry queued since the queue was last emptied (taking entries out never
    // narrows it). 0 for an empty queue.
    int m_queueExtent = 0;
    bool m_queueExtentGuarded = false;
    int m_unlistedNames = 0; // MP3 files of the source folder whose names are not valid UTF-8
};
