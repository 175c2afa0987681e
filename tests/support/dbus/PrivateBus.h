#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// A dbus-daemon of the test's own, listening on a socket in a temporary folder, with a policy
// that lets any connection own any name and call anything. The code under test is pointed at it
// through DBUS_SESSION_BUS_ADDRESS or DBUS_SYSTEM_BUS_ADDRESS, so no test reaches the machine's
// buses. Ends with the object.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The address to connect to; empty when the daemon did not start (errorString() says why).
    QString address() const { return m_address; }
    QString errorString() const { return m_error; }

    // An address where no bus listens, for "no bus at all".
    static QString NoBusAddress();

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};

} // namespace TestSupport
