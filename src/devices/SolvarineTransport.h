#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace Platform {
class ISolvarineSerialPortClient;
}

namespace Devices {

// The serial device's line-oriented text protocol over a serial client.
//
// Every command goes out followed by "\n\r". Replies are collected in one 1,024-byte buffer: what
// arrives is appended, and a reply check sees everything received since the buffer was last
// consumed. Each wait gives up after 25 reads 5 ms apart. Nothing is retried.
//
// No lock of its own: the serial client serialises its calls, and one thread drives a transport.
class SolvarineTransport {
public:
    // A reply check over the filled part of the buffer.
    using Validator = std::function<bool(char*, long long)>;

    static constexpr long long BufferSize = 1024;
    static constexpr int ReadAttempts = 25;
    static constexpr unsigned long ReadPauseMs = 5;
    // The unit restarts after "SRST" before it prints its "#".
    static constexpr unsigned long ResetSettleMs = 2300;
    static constexpr unsigned long PromptPauseMs = 25;

    explicit SolvarineTransport(Platform::ISolvarineSerialPortClient& client);
    ~SolvarineTransport();
    SolvarineTransport(const SolvarineTransport&) = delete;
    SolvarineTransport& operator=(const SolvarineTransport&) = delete;

    // Writes `text`, then the terminator (also when the first write failed); true when neither
    // write failed.
    bool writeCommand(const char* text);
    // True as soon as `validator` accepts the buffer: first what it already holds, then after each
    // read that brought bytes. False on a failed read or after the attempts.
    bool readAndValidate(const Validator& validator);
    // Appends until a read brings nothing or fails; returns that last read's result.
    long long readAll();
    // Waits for the bootloader's prompt "\n\rDSP>" at the end of the buffer.
    bool readUntilDsp();
    void consumeCurrentBuffer() { m_filled = 0; }

    // Switches the unit into its bootloader: "SRST", then either the echo and the prompt (it was
    // already there) or the reset acknowledgement, the restart's "#", "@" and the prompt. Blocks
    // for at least 2.3 s when the unit restarts. `alreadyInBootloader` is written only on success.
    bool resetToBootloader(bool& alreadyInBootloader);
    // Sends `command` and takes the text after "Description: " up to the line feed from a reply
    // that holds "File Allocation" and ends with the prompt. `description` changes only on success.
    bool readFileDescription(const char* command, QString& description);
    // The description of the unit's firmware ("FI1").
    bool readFwDescription(QString& description);
    // Starts the unit's firmware ("x").
    bool executeFw();

    // The bytes received since the buffer was last consumed.
    const char* buffer() const { return m_buffer.get(); }
    long long filled() const { return m_filled; }

private:
    // One read into the free rest of the buffer; its result.
    long long readMore();

    Platform::ISolvarineSerialPortClient& m_client;
    std::unique_ptr<char[]> m_buffer;
    long long m_filled = 0;
};

} // namespace Devices
