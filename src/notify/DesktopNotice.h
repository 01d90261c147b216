// A desktop notification when a long conversion ends while the user looks elsewhere.
#pragma once

#include <QString>
#include <QtGlobal>

class QDBusConnection;

namespace notify {

// A run that took longer than this is worth a notice; a shorter one the user is still waiting for.
constexpr qint64 NoticeAfterMs = 30'000;

// Whether a run that took elapsedMs deserves a notice: it was long and the window is not the active one.
[[nodiscard]] bool shouldNotify(qint64 elapsedMs, bool windowActive);

// Sends org.freedesktop.Notifications.Notify on the session bus (app "MP3Recast", icon "mp3recast").
// False, sending nothing, when there is no session bus or nothing owns the name; each call on the bus
// waits a fraction of a second at most, so a desktop without a notification service never holds the window.
[[nodiscard]] bool notifyDesktop(const QString& title, const QString& body);
// The same on the given bus.
[[nodiscard]] bool notifyDesktop(const QDBusConnection& bus, const QString& title, const QString& body);

} // namespace notify
