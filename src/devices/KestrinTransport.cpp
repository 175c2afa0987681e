#include "devices/KestrinTransport.h"

#include "core/GlobalLogger.h"
#include "io/KestrinHidApiClient.h"

#include <QThread>

#include <algorithm>
#include <cstring>

namespace Devices {

namespace {

using Wire::c_sensorReportSize;
constexpr uint8_t c_sensorSample = Wire::c_sensorSampleReport;
constexpr uint8_t c_sensorCentre = Wire::c_sensorCentreReport;

constexpr size_t c_drainReads = 100;

bool IsKind(uint8_t byte)
{
    return byte == Wire::c_request || byte == Wire::c_response || byte == Wire::c_notification;
}

size_t LengthField(const uint8_t* command)
{
    return size_t(command[2]) | (size_t(command[3]) << 8);
}

// One OUT package: report id, byte count, relay flag, the bytes, zeros.
inline bool SendPackage(Platform::KestrinHidApiClient& client, const unsigned char* bytes, size_t size, uint8_t flag)
{
    uint8_t package[KestrinTransport::c_packageSize] = {};
    package[0] = KestrinTransport::c_outReportId;
    package[1] = uint8_t(size);
    package[2] = flag;
    std::memcpy(package + 3, bytes, size);
    return client.write(package, sizeof package);
}

// One IN package by GET_REPORT; its bytes go to `out` (room for 59). 0 when the read failed,
// nothing was pending or the count is above 59.
inline size_t ReceivePackage(Platform::KestrinHidApiClient& client, unsigned char* out)
{
    uint8_t package[KestrinTransport::c_packageSize] = {};
    package[0] = KestrinTransport::c_inReportId;
    if (!client.read(package, sizeof package))
        return 0;
    const size_t n = package[1];
    if (n > KestrinTransport::c_maxPackagePayload)
        return 0;
    std::memcpy(out, package + 3, n);
    return n;
}

} // namespace

KestrinTransport::KestrinTransport(Platform::KestrinHidApiClient& client)
    : m_client(client)
    , m_viaDongle(client.isOpenedDongle())
    , m_buffer(new uint8_t[c_bufferCapacity]())
    , m_converters(new KestrinConverters)
{
    // Replies to requests of an earlier owner of the device must not be taken for ours.
    uint8_t stale[c_maxPackagePayload];
    for (size_t i = 0; i < c_drainReads; ++i) {
        if (readPackage(stale) == 0)
            break;
    }
}

KestrinTransport::~KestrinTransport()
{
    delete m_converters;
    delete[] m_buffer;
}

bool KestrinTransport::writePackage(const unsigned char* bytes, size_t size, bool toDongle)
{
    if (size == 0 || size > c_maxPackagePayload)
        return false;
    return SendPackage(m_client, bytes, size, (m_viaDongle && !toDongle) ? c_relayFlag : 0x00);
}

inline bool KestrinTransport::sendCommand(const unsigned char* bytes, size_t size, bool toDongle)
{
    const uint8_t flag = (m_viaDongle && !toDongle) ? c_relayFlag : 0x00;
    for (size_t offset = 0; offset < size; offset += c_maxPackagePayload) {
        if (!SendPackage(m_client, bytes + offset, std::min(c_maxPackagePayload, size - offset), flag))
            return false;
    }
    return true;
}

bool KestrinTransport::writeCommand(const unsigned char* bytes, size_t size, bool toDongle)
{
    return sendCommand(bytes, size, toDongle);
}

size_t KestrinTransport::readPackage(unsigned char* out)
{
    return ReceivePackage(m_client, out);
}

inline size_t KestrinTransport::appendPackage()
{
    if (Q_UNLIKELY(m_fill + c_maxPackagePayload > c_bufferCapacity))
        dropOverflowingInput();
    uint8_t package[c_packageSize] = {};
    package[0] = c_inReportId;
    if (!m_client.read(package, sizeof package))
        return 0;
    const size_t n = package[1];
    if (n > c_maxPackagePayload)
        return 0;
    // The whole payload area fits behind the held bytes; a fixed-size copy is cheaper than one of
    // n bytes, and the bytes past n are not counted as held.
    std::memcpy(m_buffer + m_fill, package + 3, c_maxPackagePayload);
    return n;
}

void KestrinTransport::dropOverflowingInput()
{
    // Cannot happen while the buffer holds at most one incomplete command, but the buffer must
    // never be overrun whatever the device sends.
    GlobalLogger::Instance()->message(QtWarningMsg, "HID input overflows the buffer, dropping %zu bytes", m_fill);
    dropAll();
}

void KestrinTransport::dropAll()
{
    m_fill = 0;
    m_currentLength = 0;
}

inline bool KestrinTransport::resynchronise()
{
    // The usual case: a frame starts the buffer.
    if (Q_LIKELY(m_buffer[0] == c_marker && LengthField(m_buffer) <= c_maxLengthField)) {
        const size_t length = LengthField(m_buffer) + 4;
        m_currentLength = m_fill < length ? 0 : length;
        return m_currentLength != 0;
    }
    return resynchroniseFromBadStart();
}

bool KestrinTransport::resynchroniseFromBadStart()
{
    m_currentLength = 0;
    while (m_fill > 3) {
        if (m_buffer[0] == c_marker && LengthField(m_buffer) <= c_maxLengthField) {
            const size_t length = LengthField(m_buffer) + 4;
            if (m_fill < length)
                return false;
            m_currentLength = length;
            return true;
        }
        // Not a frame start: skip to the next marker that can begin one.
        size_t next = 1;
        while (next < m_fill && !(m_buffer[next] == c_marker && (next + 1 >= m_fill || IsKind(m_buffer[next + 1]))))
            ++next;
        m_skippedBytes += next;
        std::memmove(m_buffer, m_buffer + next, m_fill - next);
        m_fill -= next;
    }
    return false;
}

bool KestrinTransport::tryParseCommand(size_t& filled)
{
    m_fill = std::min(filled, c_bufferCapacity);
    const bool complete = m_fill > 3 ? resynchronise() : (m_currentLength = 0, false);
    m_skippedBytes = 0;
    filled = m_fill;
    return complete;
}

void KestrinTransport::reportSkippedInput()
{
    GlobalLogger::Instance()->message(QtDebugMsg, "HID input out of step, %zu bytes skipped", m_skippedBytes);
    m_skippedBytes = 0;
}

inline bool KestrinTransport::readCommand()
{
    // One log line per receive, however much a misbehaving device sends.
    struct ReportSkipped {
        KestrinTransport* transport;
        ~ReportSkipped()
        {
            if (Q_UNLIKELY(transport->m_skippedBytes > 0))
                transport->reportSkippedInput();
        }
    } report{this};

    if (m_fill > 3 && resynchronise())
        return true;
    m_currentLength = 0;

    const int patience = m_longWait ? c_longPatience : c_patience;
    int idle = 0;
    int reads = 0;
    while (true) {
        const size_t n = appendPackage();
        if (n > 0) {
            m_fill += n;
            idle = 0;
        }
        if (m_fill > 3 && resynchronise())
            return true;
        ++idle;
        ++reads;
        if (idle >= patience || reads >= c_maxReadsPerReceive)
            break;
    }
    // The rest of an incomplete command may still arrive later; it must not be spliced onto the
    // start of another one, so the partial command goes now and its tail is skipped as unframed.
    dropAll();
    return false;
}

template <typename Accept>
inline bool KestrinTransport::awaitReply(size_t minLength, const Accept& accept)
{
    int dropped = 0;
    while (readCommand()) {
        m_emptyResults = 0;
        if (m_currentLength >= minLength && accept(m_buffer))
            return true;
        removeCurrentCommand();
        if (++dropped >= c_maxDropped)
            return false;
    }
    if (dropped == 0 && m_currentLength == 0)
        countEmptyResult();
    return false;
}

void KestrinTransport::countEmptyResult()
{
    if (++m_emptyResults == c_emptyResultsBeforeClose) {
        GlobalLogger::Instance()->message(QtDebugMsg, "read 0 bytes 5 times, closing.");
        m_client.closeDevice();
    }
}

namespace {

// An empty validator accepts nothing.
struct AcceptValidated {
    const KestrinTransport::Validator& validator;
    bool operator()(uint8_t* reply) const { return validator && validator(reply); }
};

struct AcceptChecked {
    const Wire::ReplyCheck& check;
    bool operator()(const uint8_t* reply) const { return check.accepts(reply); }
};

} // namespace

bool KestrinTransport::readCmdAndValidate(size_t minLength, const Validator& validator)
{
    return awaitReply(minLength, AcceptValidated{validator});
}

bool KestrinTransport::awaitCommand(const Wire::ReplyCheck& check)
{
    return awaitReply(check.minLength, AcceptChecked{check});
}

inline void KestrinTransport::removeCurrentCommand()
{
    if (m_currentLength == 0)
        return;
    const size_t length = std::min(m_currentLength, m_fill);
    if (length < m_fill)
        std::memmove(m_buffer, m_buffer + length, m_fill - length);
    m_fill -= length;
    m_currentLength = 0;
}

void KestrinTransport::consumeCurrentCommand()
{
    removeCurrentCommand();
}

void KestrinTransport::delayTavon()
{
    QThread::msleep(50);
}

template <typename Accept>
inline bool KestrinTransport::exchangeLocked(const uint8_t* request, size_t size, bool toDongle, size_t minLength,
                                             const Accept& accept, const ReplyEvaluator& evaluate)
{
    if (!sendCommand(request, size, toDongle))
        return false;
    if (!awaitReply(minLength, accept))
        return false;
    // The reply goes whatever the evaluation finds (and even if it throws).
    struct Consume {
        KestrinTransport* transport;
        ~Consume() { transport->removeCurrentCommand(); }
    } consume{this};
    return evaluate ? evaluate(m_buffer, m_currentLength) : true;
}

bool KestrinTransport::exchange(const uint8_t* request, size_t size, bool toDongle, size_t minLength,
                                const Validator& valid, const ReplyEvaluator& evaluate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return exchangeLocked(request, size, toDongle, minLength, AcceptValidated{valid}, evaluate);
}

bool KestrinTransport::exchangeUnsafe(const uint8_t* request, size_t size, bool toDongle, size_t minLength,
                                      const Validator& valid, const ReplyEvaluator& evaluate)
{
    return exchangeLocked(request, size, toDongle, minLength, AcceptValidated{valid}, evaluate);
}

bool KestrinTransport::exchange(const Wire::Frame& request, bool toDongle, const Wire::ReplyCheck& check,
                                const ReplyEvaluator& evaluate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return exchangeUnsafe(request, toDongle, check, evaluate);
}

bool KestrinTransport::exchangeUnsafe(const Wire::Frame& request, bool toDongle, const Wire::ReplyCheck& check,
                                      const ReplyEvaluator& evaluate)
{
    return exchangeUnsafe(request.data(), request.size(), toDongle, check, evaluate);
}

bool KestrinTransport::exchangeUnsafe(const uint8_t* request, size_t size, bool toDongle, const Wire::ReplyCheck& check,
                                      const ReplyEvaluator& evaluate)
{
    const auto statusOk = [&check](const uint8_t* reply, size_t) { return check.statusOk(reply); };
    return exchangeLocked(request, size, toDongle, check.minLength, AcceptChecked{check},
                          evaluate ? evaluate : ReplyEvaluator(statusOk));
}

bool KestrinTransport::readPosition(QQuaternion& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    uint8_t report[c_sensorReportSize] = {};
    int n = 0;
    while (true) {
        n = m_client.read_hid_timeout(report, sizeof report, 0);
        if (n <= 0)
            return false;
        if (report[0] == c_sensorCentre)
            m_converters->centralize();
        else if (report[0] == c_sensorSample)
            break;
    }
    if (size_t(n) < c_sensorReportSize)
        return false;
    m_converters->processPosition(report);
    out = m_converters->getPosition();
    return true;
}

bool KestrinTransport::processAvailablePositionSensors()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    uint8_t report[c_sensorReportSize] = {};
    while (true) {
        const int n = m_client.read_hid_timeout(report, sizeof report, 0);
        if (n <= 0)
            return true;
        if (report[0] == c_sensorCentre)
            m_converters->centralize();
        else if (report[0] == c_sensorSample && size_t(n) >= c_sensorReportSize)
            m_converters->processPosition(report);
    }
}

bool KestrinTransport::centralize()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_converters->centralize();
    return true;
}

bool KestrinTransport::calibrate(double seconds)
{
    if (!(seconds >= 1.0)) // also refuses NaN
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_converters->calibrate(seconds);
}

} // namespace Devices
