#pragma once

#include <QByteArray>
#include <QFile>

namespace bench {

// A memory figure of this process from /proc/self/status ("VmRSS" resident now, "VmHWM" its peak so
// far), in MB; -1 when it cannot be read.
inline double statusMegabytes(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = field + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

inline double residentMegabytes() {
    return statusMegabytes("VmRSS");
}

inline double peakMegabytes() {
    return statusMegabytes("VmHWM");
}

} // namespace bench
