#pragma once

#include "device_data/AncMode.h"
#include "devices/KestrinConverters.h"
#include "devices/KestrinSettings.h"
#include "devices/KestrinWire.h"

#include <QQuaternion>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

namespace Platform {
class KestrinHidApiClient;
}

namespace Devices {

// Framing and exchange between a headset-family device object and the HID client.
//
// A command is a framed message: 05, kind (5A request, 5B response, 5D notification), a length L
// (le16) counting the command id (le16) and the payload. It travels in 62-byte packages: output
// report 6 (06, N, relay flag, N command bytes, zeros) and input report 7 fetched by GET_REPORT
// (07, n, -, n bytes of the device's byte stream). Input packages are gathered into a buffer; the
// one complete command at its start is the current command. All traffic of one device is
// serialised on the transport's mutex; public operations take it for their whole exchange, members
// whose comment says "caller holds the mutex" expect it held.
//
// The device's byte stream is not trusted: bytes that cannot start a frame (a wrong marker, a
// length field above 1020) and the partial command left by a receive that gave up are dropped, the
// reassembly resynchronises on the next frame start, and the buffer is never overrun.
class KestrinTransport {
public:
    using Validator = std::function<bool(unsigned char*)>;

    // Gets the complete reply (bounded by its length) while it is current. It refers to the
    // caller's callable, which outlives the exchange it is passed to, so that no wrapper is built
    // and torn down for every command. Empty (default, nullptr, an empty std::function or a null
    // function pointer) means "accept the reply".
    class ReplyEvaluator {
    public:
        ReplyEvaluator() = default;
        ReplyEvaluator(std::nullptr_t) { }
        template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, ReplyEvaluator> &&
                                                          std::is_invocable_r_v<bool, F&, const uint8_t*, size_t>>>
        ReplyEvaluator(F&& evaluate)
        {
            using Callable = std::remove_reference_t<F>;
            if constexpr (std::is_pointer_v<Callable> || IsStdFunction<std::remove_cv_t<Callable>>::value) {
                if (!evaluate)
                    return;
            }
            m_callable = const_cast<void*>(static_cast<const void*>(std::addressof(evaluate)));
            m_call = [](void* callable, const uint8_t* reply, size_t length) -> bool {
                return (*static_cast<Callable*>(callable))(reply, length);
            };
        }
        explicit operator bool() const { return m_call != nullptr; }
        bool operator()(const uint8_t* reply, size_t length) const { return m_call(m_callable, reply, length); }

    private:
        template <typename T>
        struct IsStdFunction : std::false_type {
        };
        template <typename Signature>
        struct IsStdFunction<std::function<Signature>> : std::true_type {
        };

        void* m_callable = nullptr;
        bool (*m_call)(void*, const uint8_t*, size_t) = nullptr;
    };

    static constexpr size_t c_packageSize = Wire::c_packageSize;
    static constexpr size_t c_maxPackagePayload = Wire::c_maxPackagePayload;
    // The longest command is 1024 bytes. An incomplete one holds at most 1023, so one more
    // package always fits behind it and completes it: the headroom keeps the bytes of the next
    // command that share that package.
    static constexpr size_t c_bufferSize = 1024;
    static constexpr size_t c_bufferCapacity = c_bufferSize + c_maxPackagePayload;
    static constexpr size_t c_maxLengthField = Wire::c_maxLengthField;
    static constexpr uint8_t c_outReportId = Wire::c_outReportId;
    static constexpr uint8_t c_inReportId = Wire::c_inReportId;
    static constexpr uint8_t c_relayFlag = Wire::c_relayFlag;
    static constexpr uint8_t c_marker = Wire::c_marker;
    // Reads in a row without a byte before a receive gives up, normally and during an EQ upload.
    static constexpr int c_patience = 8;
    static constexpr int c_longPatience = 40;
    static constexpr int c_maxReadsPerReceive = 1000;
    // Non-matching commands skipped while waiting for one reply.
    static constexpr int c_maxDropped = 25;
    // Consecutive receives without any command after which the device counts as gone.
    static constexpr size_t c_emptyResultsBeforeClose = 5;

    // Reads the client's dongle flag once and drains stale input.
    explicit KestrinTransport(Platform::KestrinHidApiClient& client);
    // Does not close the device.
    ~KestrinTransport();
    KestrinTransport(const KestrinTransport&) = delete;
    KestrinTransport& operator=(const KestrinTransport&) = delete;

    // --- framing (caller holds the mutex) ---
    // Sends a command of any length as packages of up to 59 bytes. The relay flag is set when the
    // device was opened via the dongle and the command is for the headset (`toDongle` false).
    bool writeCommand(const unsigned char* bytes, size_t size, bool toDongle);
    // One package carrying 1..59 bytes.
    bool writePackage(const unsigned char* bytes, size_t size, bool toDongle);
    // One input package: its byte count n (0 when the read failed, nothing was pending or n > 59),
    // the n bytes copied to `out` (room for 59).
    size_t readPackage(unsigned char* out);
    // Whether the first `filled` bytes of the buffer hold a complete command at their start; when
    // they start with bytes that cannot begin a frame, those are dropped (and `filled` updated).
    bool tryParseCommand(size_t& filled);
    // Waits for a command that is at least `minLength` bytes long and that `validator` accepts;
    // the validator reads only bytes below `minLength`. Other commands (late replies, unsolicited
    // notifications) are dropped; the 25th in one wait ends it. The accepted one stays current
    // until consumeCurrentCommand. Five waits in a row that receive no command at all close the
    // device.
    bool readCmdAndValidate(size_t minLength, const Validator& validator);
    // Removes the current command; the bytes behind it move to the start.
    void consumeCurrentCommand();
    // The current command (valid until it is consumed) and its length, 0 when none is current.
    const uint8_t* currentCommand() const { return m_buffer; }
    size_t currentCommandLength() const { return m_currentLength; }
    // Bytes held in the reassembly buffer.
    size_t bufferedBytes() const { return m_fill; }
    // Sleeps 50 ms.
    void delayTavon();

    // The operation pattern: sends `request`, waits for the reply `valid` accepts, lets
    // `evaluate` read it (within its length) and removes it whatever the outcome. The exchange
    // holds the mutex; exchangeUnsafe expects the caller to hold it.
    bool exchange(const uint8_t* request, size_t size, bool toDongle, size_t minLength, const Validator& valid,
                  const ReplyEvaluator& evaluate);
    bool exchangeUnsafe(const uint8_t* request, size_t size, bool toDongle, size_t minLength, const Validator& valid,
                        const ReplyEvaluator& evaluate);
    // The same with the reply declared as data: the reply `check` accepts is the answer, and
    // `evaluate` (or, when empty, the check's status byte) decides the outcome.
    bool exchange(const Wire::Frame& request, bool toDongle, const Wire::ReplyCheck& check,
                  const ReplyEvaluator& evaluate = nullptr);
    bool exchangeUnsafe(const Wire::Frame& request, bool toDongle, const Wire::ReplyCheck& check,
                        const ReplyEvaluator& evaluate = nullptr);
    bool exchangeUnsafe(const uint8_t* request, size_t size, bool toDongle, const Wire::ReplyCheck& check,
                        const ReplyEvaluator& evaluate = nullptr);
    // readCmdAndValidate with a declared check (the notification of a two-step read).
    bool awaitCommand(const Wire::ReplyCheck& check);

    bool isOpenedViaDongle() const { return m_viaDongle; }

    // --- head tracking: sensor reports from the interrupt pipe, bypassing the command buffer ---
    bool readPosition(QQuaternion& out);
    bool processAvailablePositionSensors();
    bool centralize();
    bool calibrate(double seconds);

    // --- command set ---
    // A setting's set and get commands as its row in c_kestrinSettings declares them. The named
    // operations below are these for one setting each.
    bool writeSetting(KestrinSetting setting, uint16_t value);
    bool readSetting(KestrinSetting setting, uint16_t& value);

    bool writePeqIndex(uint8_t index);
    bool readPeqIndex(uint8_t& index);
    bool writeVpLevel(uint8_t level);
    bool readVpLevel(uint8_t& level);
    bool readMicMute(bool& muted);
    bool writeNoiseReduction(uint8_t value);
    bool readNoiseReduction(uint8_t& value);
    bool writeEarcupBalance(uint8_t value);
    bool readEarcupBalance(uint8_t& value);
    bool writeAmpGain(uint8_t value);
    bool readAmpGain(uint8_t& value);
    bool writeLeftRightGain(uint8_t left, uint8_t right);
    bool readLeftGain(uint8_t& value);
    bool writeSidetoneLevel(uint8_t value);
    bool readSidetoneLevel(uint8_t& value);
    bool readMaxSidetoneLevel(uint8_t& value);
    bool readIsNewFilm(bool& isNewFilm);
    bool writeMicLevel(uint8_t value);
    bool readMicLevel(uint8_t& value);
    bool writeGameChatMix(uint8_t mix);
    bool readGameChatMix(uint8_t& mix);
    bool writeSidetoneState(bool on);
    bool readSidetoneState(bool& on);
    bool writeAutoPowerOff(uint16_t seconds);
    bool readAutoPowerOff(uint16_t& seconds);
    bool readPoweredOn(bool& on);
    bool writeAncMode(DeviceData::AncMode mode);
    bool readAncMode(DeviceData::AncMode& mode);
    bool writeUserEqIndex(uint8_t index);
    bool readUserEqIndex(uint8_t& index);
    bool writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type, float frequency,
                           float middle, float gain);
    bool readUserBiquad(uint8_t eqIndex, Kestrin2AncEq& eq);
    bool readBatteryLevel(uint8_t& level);
    bool readFwVersion(QString& version, bool toDongle);
    bool readTvqReady(bool& ready);
    bool writeSensorsEnabled(bool enable, uint8_t rate);
    bool factoryReset();
    bool pairing();

    // --- EQ storage ---
    bool writeEqBands(uint8_t eqIndex, const KestrinEq& eq);
    bool readEqBands(uint8_t eqIndex, KestrinEq& eq);
    bool realtimeUpdatePeqUnsafe(const std::vector<uint8_t>& coefficients);
    bool reclaimPeqNvKeyUnsafe(uint16_t size);
    bool savePeqUiDataUnsafe(uint8_t eqIndex, const uint8_t* data, size_t size);
    bool savePeqCoefUnsafe(uint8_t eqIndex, const std::vector<uint8_t>& coefficients);

private:
    // The steps of an exchange, defined inline in KestrinTransport.cpp (their only user) so that
    // an exchange runs as one function between the two client calls; the rare paths stay out of line.
    inline bool sendCommand(const unsigned char* bytes, size_t size, bool toDongle);
    template <typename Accept>
    inline bool awaitReply(size_t minLength, const Accept& accept);
    template <typename Accept>
    inline bool exchangeLocked(const uint8_t* request, size_t size, bool toDongle, size_t minLength,
                               const Accept& accept, const ReplyEvaluator& evaluate);
    inline bool readCommand();
    // Reads one input package straight into the buffer behind the held bytes; its byte count.
    inline size_t appendPackage();
    // Drops bytes at the start that cannot begin a frame; true when a complete command is there.
    inline bool resynchronise();
    bool resynchroniseFromBadStart();
    inline void removeCurrentCommand();
    void dropOverflowingInput();
    void reportSkippedInput();
    void countEmptyResult();
    void dropAll();

    Platform::KestrinHidApiClient& m_client;
    const bool m_viaDongle;
    uint8_t* const m_buffer;
    size_t m_currentLength = 0;
    size_t m_fill = 0;
    size_t m_emptyResults = 0;
    size_t m_skippedBytes = 0; // unframed input dropped during the current receive
    bool m_longWait = false;
    KestrinConverters* const m_converters;
    std::mutex m_mutex;
};

} // namespace Devices
