#pragma once

#include "io/ISolvarineSerialPortClient.h"

#include <mutex>

namespace Platform {

// The serial client the hardware bus holds: the port as a file descriptor with plain write(2) and
// read(2). This build opens no port (openDevice() is false), so the singleton never holds one and
// every read and write answers 0; the bus does not probe for the device at all.
//
// A read waits up to 50 ms for data while it holds the client's lock. A failed transfer, or a
// port whose other end hung up, closes the port at once.
class PosixSolvarineSerialPortClient final : public ISolvarineSerialPortClient {
    Q_OBJECT
public:
    static PosixSolvarineSerialPortClient* GetPosixSolvarineSerialPortClient();

    PosixSolvarineSerialPortClient();
    // Takes over a descriptor that is already open (tests: one end of a pseudo-terminal pair).
    explicit PosixSolvarineSerialPortClient(int openFd);
    // Closes a held port, with its log line and deviceGone().
    ~PosixSolvarineSerialPortClient() override;
    PosixSolvarineSerialPortClient(const PosixSolvarineSerialPortClient&) = delete;
    PosixSolvarineSerialPortClient& operator=(const PosixSolvarineSerialPortClient&) = delete;

    // False: no serial port is opened in this build.
    bool openDevice() override;
    bool closeDevice() override;
    bool hasDevice() override;
    // For callers that already hold the client's lock.
    bool hasDeviceUnsafe() const { return m_fd >= 0; }
    int64_t write(const char* text) override;
    int64_t read(char* buffer, size_t size) override;

    static constexpr int ReadWaitMs = 50;

private:
    // Closes the descriptor without lock, log or signal; true when one was held.
    bool closeDeviceUnsafe();
    // After a failed transfer: the log line, then the port is closed as closeDevice() does.
    void failFilter(bool isWrite);

    int m_fd = -1; // owned; -1 = no port held
    std::mutex m_mutex;
};

} // namespace Platform
