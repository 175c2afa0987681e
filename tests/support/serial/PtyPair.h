#pragma once

#include <QByteArray>
#include <QString>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair in raw mode: the port side stands for the serial device's port, the unit
// side for the unit at the other end of the cable.
class PtyPair {
public:
    PtyPair()
    {
        char name[128] = {};
        if (::openpty(&m_unit, &m_port, name, nullptr, nullptr) != 0) {
            m_unit = m_port = -1;
            return;
        }
        m_portName = QString::fromLocal8Bit(name);
        MakeRaw(m_unit);
        MakeRaw(m_port);
    }
    ~PtyPair()
    {
        closeUnit();
        closePort();
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_unit >= 0 && m_port >= 0; }
    // "/dev/pts/N" of the port side.
    QString portName() const { return m_portName; }

    // Hands the port side's descriptor over; the pair no longer closes it.
    int takePort()
    {
        const int fd = m_port;
        m_port = -1;
        return fd;
    }
    void closePort()
    {
        if (m_port >= 0)
            ::close(m_port);
        m_port = -1;
    }
    // The unit hangs up (the cable is pulled).
    void closeUnit()
    {
        if (m_unit >= 0)
            ::close(m_unit);
        m_unit = -1;
    }

    // The unit sends bytes.
    bool send(const QByteArray& bytes) const
    {
        return ::write(m_unit, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // What the unit received: everything that arrives until `count` bytes are in or `timeoutMs`
    // passed without a byte.
    QByteArray receive(qsizetype count, int timeoutMs = 5000) const
    {
        QByteArray bytes;
        while (bytes.size() < count) {
            pollfd entry{m_unit, POLLIN, 0};
            if (::poll(&entry, 1, timeoutMs) <= 0)
                break;
            char chunk[256];
            const ssize_t got = ::read(m_unit, chunk, sizeof chunk);
            if (got <= 0)
                break;
            bytes.append(chunk, got);
        }
        return bytes;
    }
    int unitFd() const { return m_unit; }

private:
    static void MakeRaw(int fd)
    {
        termios mode{};
        if (::tcgetattr(fd, &mode) == 0) {
            ::cfmakeraw(&mode);
            ::tcsetattr(fd, TCSANOW, &mode);
        }
    }

    int m_unit = -1;
    int m_port = -1;
    QString m_portName;
};
