#include "platform/linux/LinuxSystemServices.h"

#include "core/GlobalLogger.h"

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QUrl>

namespace Platform {

namespace {

// Answers are quick when the service runs; the bound only matters for a service that hangs, and
// the callers wait on the GUI thread.
constexpr int SettingTimeoutMs = 2000;
constexpr int InhibitTimeoutMs = 3000;
constexpr int FileManagerTimeoutMs = 10000;

QByteArray Why(const QDBusMessage& reply)
{
    return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toUtf8();
}

QByteArray Why(const QDBusError& error)
{
    return (error.name() + QStringLiteral(": ") + error.message()).toUtf8();
}

// The portal wraps the value in one variant, older portals in two.
QVariant Unwrapped(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

std::optional<bool> LinuxSystemServices::readAnimationsEnabled()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        GlobalLogger::Instance()->message(
            QtInfoMsg, "No session bus, so the desktop's animation setting cannot be read; animations stay on.");
        return std::nullopt;
    }
    QDBusMessage read = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    read << QStringLiteral("org.gnome.desktop.interface") << QStringLiteral("enable-animations");
    const QDBusMessage reply = bus.call(read, QDBus::Block, SettingTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        GlobalLogger::Instance()->message(QtInfoMsg,
                                          "The desktop's animation setting cannot be read (%s); animations stay on.",
                                          Why(reply).constData());
        return std::nullopt;
    }
    const QVariant value = Unwrapped(reply.arguments().value(0));
    if (value.metaType() != QMetaType::fromType<bool>()) {
        GlobalLogger::Instance()->message(
            QtInfoMsg, "The desktop's animation setting is not a yes or no (%s); animations stay on.",
            value.metaType().name() ? value.metaType().name() : "nothing");
        return std::nullopt;
    }
    const bool enabled = value.toBool();
    GlobalLogger::Instance()->message(QtInfoMsg, "The desktop's animations are %s.", enabled ? "on" : "off");
    return enabled;
}

void LinuxSystemServices::keepSystemAwake(bool on)
{
    if (!on) {
        if (m_inhibitor.isValid()) {
            // Closing the last copy of the descriptor releases the lock.
            m_inhibitor = QDBusUnixFileDescriptor();
            GlobalLogger::Instance()->message(QtDebugMsg, "The system may sleep again.");
        }
        return;
    }
    if (m_inhibitor.isValid())
        return;

    const QDBusConnection bus = QDBusConnection::systemBus();
    QByteArray failure;
    if (!bus.isConnected()) {
        failure = "no system bus";
    } else {
        QDBusMessage inhibit = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        inhibit << QStringLiteral("sleep:idle") << QStringLiteral("Velmor")
                << QStringLiteral("A headset operation is running (a firmware update or head tracking).")
                << QStringLiteral("block");
        const QDBusMessage reply = bus.call(inhibit, QDBus::Block, InhibitTimeoutMs);
        const QVariant fd = reply.arguments().value(0);
        if (reply.type() != QDBusMessage::ReplyMessage)
            failure = Why(reply);
        else if (fd.metaType() != QMetaType::fromType<QDBusUnixFileDescriptor>() ||
                 !qvariant_cast<QDBusUnixFileDescriptor>(fd).isValid())
            failure = "logind answered without a lock";
        else
            m_inhibitor = qvariant_cast<QDBusUnixFileDescriptor>(fd);
    }
    if (!failure.isEmpty()) {
        GlobalLogger::Instance()->message(
            QtWarningMsg, "Cannot keep the system awake (%s); it may sleep during the operation.", failure.constData());
        return;
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "The system stays awake until the operation ends.");
}

std::unique_ptr<QAbstractNativeEventFilter> LinuxSystemServices::createNativeEventFilter()
{
    return nullptr;
}

std::unique_ptr<ISystemServices> CreateSystemServices()
{
    return std::make_unique<LinuxSystemServices>();
}

bool AskFileManagerToShow(const QString& filePath, std::function<void()> unanswered)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        GlobalLogger::Instance()->message(QtInfoMsg, "No session bus to ask a file manager on.");
        return false;
    }
    QDBusMessage show = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    show << QStringList{QString::fromLatin1(QUrl::fromLocalFile(filePath).toEncoded())} << QString();
    // Not waited for: a file manager may take seconds to start, and the window stays responsive.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(show, FileManagerTimeoutMs));
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, unanswered = std::move(unanswered)] {
            watcher->deleteLater();
            if (watcher->isError()) {
                GlobalLogger::Instance()->message(QtInfoMsg,
                                                  "No file manager can show the file (%s); opening its folder instead.",
                                                  Why(watcher->error()).constData());
                if (unanswered)
                    unanswered();
            }
        });
    return true;
}

} // namespace Platform
