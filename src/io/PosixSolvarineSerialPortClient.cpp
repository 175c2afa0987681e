#include "io/PosixSolvarineSerialPortClient.h"

#include "core/GlobalLogger.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace Platform {

PosixSolvarineSerialPortClient* PosixSolvarineSerialPortClient::GetPosixSolvarineSerialPortClient()
{
    static PosixSolvarineSerialPortClient client;
    return &client;
}

PosixSolvarineSerialPortClient::PosixSolvarineSerialPortClient() = default;

PosixSolvarineSerialPortClient::PosixSolvarineSerialPortClient(int openFd)
    : m_fd(openFd < 0 ? -1 : openFd)
{
}

PosixSolvarineSerialPortClient::~PosixSolvarineSerialPortClient()
{
    closeDevice();
}

bool PosixSolvarineSerialPortClient::openDevice()
{
    // The device is not supported in this build: no port is ever opened, so no serial device is
    // ever built.
    return false;
}

bool PosixSolvarineSerialPortClient::closeDeviceUnsafe()
{
    if (m_fd < 0)
        return false;
    ::close(m_fd);
    m_fd = -1;
    return true;
}

bool PosixSolvarineSerialPortClient::closeDevice()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!closeDeviceUnsafe())
            return false;
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "Solvarine device closed.");
    emit deviceGone();
    return true;
}

bool PosixSolvarineSerialPortClient::hasDevice()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return hasDeviceUnsafe();
}

void PosixSolvarineSerialPortClient::failFilter(bool isWrite)
{
    GlobalLogger::Instance()->message(QtDebugMsg, "%s command failed, closing...", isWrite ? "write" : "read");
    closeDevice();
}

int64_t PosixSolvarineSerialPortClient::write(const char* text)
{
    ssize_t written = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_fd < 0)
            return 0;
        do {
            written = ::write(m_fd, text, std::strlen(text));
        } while (written < 0 && errno == EINTR);
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            written = 0; // the port's output queue is full: nothing went out, the port is fine
    }
    if (written < 0) {
        failFilter(true);
        return -1;
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "SLV written: %s, %d bytes", SerialLogText(text, written).constData(),
                                      int(written));
    return written;
}

int64_t PosixSolvarineSerialPortClient::read(char* buffer, size_t size)
{
    ssize_t count = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_fd < 0)
            return 0;
        pollfd entry{m_fd, POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&entry, 1, ReadWaitMs);
        } while (ready < 0 && errno == EINTR);
        // A closed descriptor or a hang-up fails the read; bytes are read only from a usable one.
        const bool unusable = ready < 0 || (entry.revents & POLLNVAL);
        const bool hungUp = ready > 0 && (entry.revents & (POLLHUP | POLLERR));
        if (!unusable && ready > 0 && size > 0) {
            do {
                count = ::read(m_fd, buffer, size);
            } while (count < 0 && errno == EINTR);
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                count = 0;
            // Readable but no byte: the other end hung up (the device was unplugged).
            else if (count == 0)
                count = -1;
        } else if (unusable || hungUp) {
            count = -1;
        }
    }
    if (count < 0) {
        failFilter(false);
        return -1;
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "SLV read: %s, %d bytes", SerialLogText(buffer, count).constData(),
                                      int(count));
    return count;
}

} // namespace Platform
