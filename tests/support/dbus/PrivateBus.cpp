#include "PrivateBus.h"

#include <QDir>
#include <QFile>

namespace TestSupport {

namespace {

constexpr char Config[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateBus::PrivateBus()
{
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString configPath = m_folder.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QString::fromLatin1(Config).arg(m_folder.filePath(QStringLiteral("bus"))).toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write the bus configuration");
        return;
    }
    config.close();

    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + configPath,
                                                   QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(30000)) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
        return;
    }
    // The daemon prints its address once it listens.
    QByteArray printed;
    while (!printed.contains('\n') && m_daemon.waitForReadyRead(30000))
        printed += m_daemon.readAllStandardOutput();
    m_address = QString::fromUtf8(printed.left(printed.indexOf('\n'))).trimmed();
    if (m_address.isEmpty())
        m_error = QStringLiteral("dbus-daemon printed no address: ") +
                  QString::fromLocal8Bit(m_daemon.readAllStandardError());
}

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(10000);
        }
    }
}

QString PrivateBus::NoBusAddress()
{
    return QStringLiteral("unix:path=") + QDir::temp().filePath(QStringLiteral("velmor-no-bus-here"));
}

} // namespace TestSupport
