#pragma once

#include <QObject>

#include <cstddef>
#include <cstdint>

namespace Platform {

// The channel to the serial device's port: it owns the open port, serialises every call on it,
// logs each exchange, and announces through deviceGone() that a held port was closed (by
// closeDevice(), by a failed transfer or by destruction). The bytes are not interpreted here.
//
// Any thread may call a client. deviceGone() is emitted on the calling thread, without the
// client's lock held.
class ISolvarineSerialPortClient : public QObject {
    Q_OBJECT
public:
    ~ISolvarineSerialPortClient() override = default;

    // Opens the device's port; true when a port is held afterwards.
    virtual bool openDevice() = 0;
    // Closes a held port (log line, deviceGone()); false when none was held.
    virtual bool closeDevice() = 0;
    virtual bool hasDevice() = 0;
    // Writes the zero-terminated text without its terminator: the number of bytes written, 0
    // when no port is held, -1 on failure (the port is closed then).
    virtual int64_t write(const char* text) = 0;
    // Reads what has arrived, up to `size` bytes, after waiting briefly for data: their number,
    // 0 when nothing came or no port is held, -1 on failure (the port is closed then).
    virtual int64_t read(char* buffer, size_t size) = 0;

signals:
    void deviceGone();
};

// "SLV written: ..." / "SLV read: ..." log text of the bytes: Latin-1, with carriage returns and
// line feeds shown as the visible sequences \r and \n, in UTF-8.
QByteArray SerialLogText(const char* data, int64_t size);

} // namespace Platform
