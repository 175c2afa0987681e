#pragma once

#include "io/ISolvarineSerialPortClient.h"

#include <mutex>

class QSerialPort;

namespace Platform {

// The serial client over a Qt serial-port object. Nothing in the program drives it; the hardware
// bus holds PosixSolvarineSerialPortClient. This build opens no port (openDevice() is false), so
// the singleton never holds one and every read and write answers 0.
//
// A read waits up to 50 ms for data while it holds the client's lock.
class SolvarineSerialPortClient final : public ISolvarineSerialPortClient {
    Q_OBJECT
public:
    static SolvarineSerialPortClient* GetSolvarineSerialPortClient();

    SolvarineSerialPortClient();
    // Takes over a port that is already open (tests: one end of a pseudo-terminal pair). The
    // port must live on the thread that calls the client.
    explicit SolvarineSerialPortClient(QSerialPort* openPort);
    // Closes a held port, with its log line and deviceGone().
    ~SolvarineSerialPortClient() override;
    SolvarineSerialPortClient(const SolvarineSerialPortClient&) = delete;
    SolvarineSerialPortClient& operator=(const SolvarineSerialPortClient&) = delete;

    // False: no serial port is opened in this build.
    bool openDevice() override;
    bool closeDevice() override;
    bool hasDevice() override;
    // For callers that already hold the client's lock.
    bool hasDeviceUnsafe() const { return m_port != nullptr; }
    int64_t write(const char* text) override;
    int64_t read(char* buffer, size_t size) override;

    // Returns `result`; when it is -1, logs the failed command and closes the port first.
    int64_t failFilter(int64_t result, bool isWrite);

    static constexpr int ReadWaitMs = 50;

private:
    QSerialPort* m_port = nullptr; // owned; null = no port held
    std::mutex m_mutex;
};

} // namespace Platform
