#include "notify/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace notify {
namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
constexpr int BusTimeoutMs = 500;

// Asked of the bus itself rather than by calling the service: a name nobody owns could otherwise start a
// service through bus activation, or make the call wait for the whole default timeout of 25 s.
bool hasOwner(const QDBusConnection& bus) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << Service;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, BusTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

} // namespace

bool shouldNotify(qint64 elapsedMs, bool windowActive) {
    return elapsedMs > NoticeAfterMs && !windowActive;
}

bool notifyDesktop(const QString& title, const QString& body) {
    return notifyDesktop(QDBusConnection::sessionBus(), title, body);
}

bool notifyDesktop(const QDBusConnection& bus, const QString& title, const QString& body) {
    if (!bus.isConnected() || !hasOwner(bus))
        return false;
    QDBusMessage notice = QDBusMessage::createMethodCall(
        Service, QStringLiteral("/org/freedesktop/Notifications"), Service, QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the server's).
    notice << QStringLiteral("MP3Recast") << uint(0) << QStringLiteral("mp3recast") << title << body
           << QStringList() << QVariantMap() << int(-1);
    const QDBusMessage reply = bus.call(notice, QDBus::Block, BusTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace notify
