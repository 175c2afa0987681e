#include "devices/SolvarineTransport.h"

#include "core/GlobalLogger.h"
#include "io/ISolvarineSerialPortClient.h"
#include "utils/Utils.h"

#include <QThread>

#include <algorithm>
#include <cstring>

namespace Devices {

namespace {

const char* const c_terminator = "\n\r";
const char* const c_reset = "SRST";
const char* const c_resetting = "Resetting DSP.";
const char* const c_bootloaderBanner = "dspBootloader(tm) ver";
const char* const c_prompt = "\n\rDSP>";
const char* const c_continue = "@";
const char* const c_fileInfo = "FI1";
const char* const c_fileAllocation = "File Allocation";
const char* const c_description = "Description: ";
const char* const c_execute = "x";

// Position of `needle` in the first `size` bytes of `data`, or -1.
long long Find(const char* data, long long size, const char* needle, long long from = 0)
{
    const long long length = static_cast<long long>(std::strlen(needle));
    if (from < 0 || size - from < length)
        return -1;
    const char* end = data + size;
    const char* found = std::search(data + from, end, needle, needle + length);
    return found == end ? -1 : found - data;
}

bool BeginsWith(const char* data, long long size, const char* prefix)
{
    const long long length = static_cast<long long>(std::strlen(prefix));
    return size >= length && std::memcmp(data, prefix, size_t(length)) == 0;
}

bool EndsWith(const char* data, long long size, const char* suffix)
{
    const long long length = static_cast<long long>(std::strlen(suffix));
    return size >= length && std::memcmp(data + size - length, suffix, size_t(length)) == 0;
}

} // namespace

SolvarineTransport::SolvarineTransport(Platform::ISolvarineSerialPortClient& client)
    : m_client(client)
    , m_buffer(new char[BufferSize])
{
}

SolvarineTransport::~SolvarineTransport() = default;

bool SolvarineTransport::writeCommand(const char* text)
{
    const bool textSent = m_client.write(text) != -1;
    const bool terminatorSent = m_client.write(c_terminator) != -1;
    return textSent && terminatorSent;
}

long long SolvarineTransport::readMore()
{
    const long long count = m_client.read(m_buffer.get() + m_filled, size_t(BufferSize - m_filled));
    if (count > 0)
        m_filled += std::min(count, BufferSize - m_filled);
    return count;
}

bool SolvarineTransport::readAndValidate(const Validator& validator)
{
    if (m_filled > 0 && validator(m_buffer.get(), m_filled))
        return true;
    for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
        QThread::msleep(ReadPauseMs);
        const long long count = readMore();
        if (count == -1)
            return false;
        if (count == 0)
            continue;
        if (validator(m_buffer.get(), m_filled))
            return true;
    }
    return false;
}

long long SolvarineTransport::readAll()
{
    long long count = 0;
    for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
        QThread::msleep(ReadPauseMs);
        count = readMore();
        if (count <= 0)
            break;
    }
    return count;
}

bool SolvarineTransport::readUntilDsp()
{
    static const Validator validator = [](char* data, long long size) { return EndsWith(data, size, c_prompt); };
    return readAndValidate(validator);
}

bool SolvarineTransport::resetToBootloader(bool& alreadyInBootloader)
{
    static const Validator size_validator = [](char*, long long size) { return size > 3; };
    static const Validator reset_validator = [](char* data, long long size) {
        return BeginsWith(data, size, c_resetting);
    };
    static const Validator hash_sign_validator = [](char* data, long long size) {
        return size >= 1 && data[size - 1] == '#';
    };

    GlobalLogger* log = GlobalLogger::Instance();
    log->message(QtDebugMsg, "Resetting Solvarine to bootloader...");
    Utils::ScopeGuardCancelable failure([log] { log->message(QtWarningMsg, "Failed loading bootloader."); });

    if (!writeCommand(c_reset))
        return false;
    if (!readAndValidate(size_validator))
        return false;

    if (BeginsWith(m_buffer.get(), m_filled, c_reset)) {
        // The unit echoes commands: it is in its bootloader already.
        const bool prompt = readUntilDsp();
        consumeCurrentBuffer();
        if (!prompt)
            return false;
        alreadyInBootloader = true;
        log->message(QtDebugMsg, "Solvarine is already in bootloader mode.");
        failure.cancel();
        return true;
    }

    if (!readAndValidate(reset_validator) && Find(m_buffer.get(), m_filled, c_bootloaderBanner) < 0) {
        consumeCurrentBuffer();
        return false;
    }
    consumeCurrentBuffer();
    log->message(QtDebugMsg, "Resetting found...");

    QThread::msleep(ResetSettleMs);
    const bool hash = readAndValidate(hash_sign_validator);
    consumeCurrentBuffer();
    if (!hash)
        return false;
    log->message(QtDebugMsg, "Hash found...");

    if (!writeCommand(c_continue))
        return false;
    QThread::msleep(PromptPauseMs);
    const bool prompt = readUntilDsp();
    consumeCurrentBuffer();
    if (!prompt)
        return false;
    alreadyInBootloader = false;
    log->message(QtDebugMsg, "DSP> found, Solvarine successfully switched to bootloader.");
    failure.cancel();
    return true;
}

bool SolvarineTransport::readFileDescription(const char* command, QString& description)
{
    if (!writeCommand(command))
        return false;
    const Utils::ScopeGuard consume([this] { consumeCurrentBuffer(); });
    if (!readUntilDsp())
        return false;

    const char* data = m_buffer.get();
    if (Find(data, m_filled, c_fileAllocation) < 0)
        return false;
    const long long marker = Find(data, m_filled, c_description);
    if (marker < 0)
        return false;
    const long long begin = marker + static_cast<long long>(std::strlen(c_description));
    const long long end = Find(data, m_filled, "\n", begin);
    if (end < 0)
        return false;
    description = QString::fromLatin1(data + begin, qsizetype(end - begin));
    return true;
}

bool SolvarineTransport::readFwDescription(QString& description)
{
    return readFileDescription(c_fileInfo, description);
}

bool SolvarineTransport::executeFw()
{
    return writeCommand(c_execute);
}

} // namespace Devices
