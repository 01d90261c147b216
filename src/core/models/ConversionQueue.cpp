#include "core/models/ConversionQueue.h"

#include <QFileInfo>

namespace core {

qint64 fileSizeOrZero(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

bool ConversionQueue::add(const QString& path) {
    if (m_queued.contains(path))
        return false;
    m_paths.append(path);
    m_queued.insert(path);
    m_bytes += fileSizeOrZero(path);
    emit added(path);
    return true;
}

void ConversionQueue::removeRows(const QList<int>& rows) {
    if (rows.isEmpty())
        return;
    const QSet<int> leaving(rows.begin(), rows.end());
    QStringList kept;
    for (int i = 0; i < m_paths.size(); ++i) {
        if (leaving.contains(i)) {
            // The size as it is now: a file changed since it was queued leaves its old size behind.
            m_bytes -= fileSizeOrZero(m_paths[i]);
            m_queued.remove(m_paths[i]);
        } else {
            kept.append(m_paths[i]);
        }
    }
    m_paths = kept;
    if (m_paths.isEmpty()) {
        clear();
        return;
    }
    emit reset();
}

void ConversionQueue::clear() {
    m_paths.clear();
    m_queued.clear();
    m_bytes = 0;
    emit reset();
}

} // namespace core
