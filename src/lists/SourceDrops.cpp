// Files and folders dropped from a file manager onto the source list or the queue: their MP3 files join
// the queue, a folder's as ">>" would queue them from the source list.

#include "lists/SourcePanel.h"

#include "core/files/SourceFiles.h"
#include "ui/ListTexts.h"
#include "ui/PathHelpers.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

namespace {

// The local files and folders that a drag carries; anything else (web addresses, text) is no drop here.
QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(QDir::toNativeSeparators(QDir::cleanPath(url.toLocalFile())));
    }
    return paths;
}

// Drops land on a list's viewport; taken there before the list's own drag handling, which knows only
// moving its own entries.
class DropTarget : public QObject {
  public:
    DropTarget(SourcePanel& panel, BusyState& busy, QObject* parent)
        : QObject(parent), m_panel(panel), m_busy(busy) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (localPaths(drag->mimeData()).isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList paths = localPaths(drop->mimeData());
            if (paths.isEmpty())
                return true;
            drop->acceptProposedAction();
            m_busy.runHandler([this, &paths] { m_panel.QueueDroppedPaths(paths); });
            return true;
        }
        default:
            return false;
        }
    }

  private:
    SourcePanel& m_panel;
    BusyState& m_busy;
};

} // namespace

void SourcePanel::acceptFileDrops() {
    for (QListWidget* list : {SFileList, SelectList}) {
        list->viewport()->setAcceptDrops(true);
        list->viewport()->installEventFilter(new DropTarget(*this, m_context.busy, list));
    }
}

void SourcePanel::QueueDroppedPaths(const QStringList& paths) {
    BusyScope busy(m_context.busy);
    auto queue = [this](const QString& path) { m_queue.add(path); };
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QString& name : core::sortedByName(core::mp3FileNames(path)))
                queue(AddPathSep(path) + name);
        } else if (info.isFile() && path.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive)) {
            queue(path);
        }
    }
}
