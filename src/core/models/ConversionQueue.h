// The conversion queue: the full paths of the files the next run converts, in order, each once, with
// their byte total.
#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace core {

class ConversionQueue : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    const QStringList& paths() const { return m_paths; }
    int count() const { return int(m_paths.size()); }
    // The sizes of the files as they were when each was queued.
    qint64 bytes() const { return m_bytes; }
    // Exact, case-sensitive comparison of the paths.
    bool contains(const QString& path) const { return m_queued.contains(path); }

    // Appends the path unless it is queued already (a second one is left out, not refused); true when it
    // was added.
    bool add(const QString& path);
    // Takes out the entries at these rows; the others keep their order. Taking out the last entry empties
    // the queue as clear() does.
    void removeRows(const QList<int>& rows);
    void clear();

  signals:
    // The path was appended (the total follows it).
    void added(const QString& path);
    // Entries were taken out: the paths are to be shown afresh.
    void reset();

  private:
    QStringList m_paths;
    QSet<QString> m_queued;
    qint64 m_bytes = 0;
};

// The file's size in bytes, or 0 when it cannot be read (the file vanished meanwhile).
qint64 fileSizeOrZero(const QString& path);

} // namespace core
