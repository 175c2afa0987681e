#include "io/SolvarineSerialPortClient.h"

#include "core/GlobalLogger.h"

#include <QSerialPort>

#include <cstring>

namespace Platform {

namespace {

bool IsPortLost(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError || error == QSerialPort::ResourceError;
}

} // namespace

SolvarineSerialPortClient* SolvarineSerialPortClient::GetSolvarineSerialPortClient()
{
    static SolvarineSerialPortClient client;
    return &client;
}

SolvarineSerialPortClient::SolvarineSerialPortClient() = default;

SolvarineSerialPortClient::SolvarineSerialPortClient(QSerialPort* openPort)
    : m_port(openPort)
{
}

SolvarineSerialPortClient::~SolvarineSerialPortClient()
{
    closeDevice();
}

bool SolvarineSerialPortClient::openDevice()
{
    // The device is never driven through this client; it opens nothing.
    return false;
}

bool SolvarineSerialPortClient::closeDevice()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_port)
            return false;
        m_port->close();
        delete m_port;
        m_port = nullptr;
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "Solvarine device closed.");
    emit deviceGone();
    return true;
}

bool SolvarineSerialPortClient::hasDevice()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return hasDeviceUnsafe();
}

int64_t SolvarineSerialPortClient::write(const char* text)
{
    int64_t written = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_port)
            return 0;
        m_port->clearError();
        written = m_port->write(text);
        // Flushed under the lock: another thread may close and delete the port once it is
        // released. The port only buffers in write(); a device that went away shows in the flush,
        // and such a write did not happen.
        if (written > 0 && !m_port->flush() && IsPortLost(m_port->error()))
            written = -1;
    }
    if (failFilter(written, true) == -1)
        return -1;
    GlobalLogger::Instance()->message(QtDebugMsg, "SLV written: %s, %d bytes", SerialLogText(text, written).constData(),
                                      int(written));
    return written;
}

int64_t SolvarineSerialPortClient::read(char* buffer, size_t size)
{
    int64_t count = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_port)
            return 0;
        m_port->clearError();
        if (m_port->bytesAvailable() == 0)
            m_port->waitForReadyRead(ReadWaitMs);
        // A port whose device went away reports an error and would otherwise read nothing for
        // ever.
        count = IsPortLost(m_port->error()) ? -1 : m_port->read(buffer, qint64(size));
    }
    if (failFilter(count, false) == -1)
        return -1;
    GlobalLogger::Instance()->message(QtDebugMsg, "SLV read: %s, %d bytes", SerialLogText(buffer, count).constData(),
                                      int(count));
    return count;
}

int64_t SolvarineSerialPortClient::failFilter(int64_t result, bool isWrite)
{
    if (result == -1) {
        GlobalLogger::Instance()->message(QtDebugMsg, "%s command failed, closing...", isWrite ? "write" : "read");
        closeDevice();
    }
    return result;
}

} // namespace Platform
