#pragma once

// The headset's wire vocabulary: frame bytes, command ids, parameter, setting and sub-command
// numbers, and two small tools every command is built with: the request frame (header and length
// field filled in one place) and the reply check (the bytes a reply must hold to be the answer,
// and where its status byte is).

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace Devices {
namespace Wire {

// --- packages ----------------------------------------------------------------------------------

// Output report 6: 06, N, relay flag, N command bytes, zeros. Input report 7 (fetched by
// GET_REPORT): 07, n, -, n bytes of the device's byte stream.
constexpr size_t c_packageSize = 62;
constexpr size_t c_maxPackagePayload = 59;
constexpr uint8_t c_outReportId = 6;
constexpr uint8_t c_inReportId = 7;
// Set in an output package for the headset behind the dongle.
constexpr uint8_t c_relayFlag = 0x80;

// --- framing -----------------------------------------------------------------------------------

// The length field of a command counts at most this many bytes.
constexpr size_t c_maxLengthField = 1020;
constexpr uint8_t c_marker = 0x05;
constexpr uint8_t c_request = 0x5A;
constexpr uint8_t c_response = 0x5B;
constexpr uint8_t c_notification = 0x5D;
// Marker, kind and the length field come before what the length field counts.
constexpr size_t c_headerSize = 4;

// A command id as it goes on the wire: low byte first.
struct CommandId {
    uint8_t low;
    uint8_t high;
};

constexpr CommandId c_setParameter{0x00, 0x09};
constexpr CommandId c_getParameter{0x01, 0x09};
constexpr CommandId c_setSetting{0x82, 0x2C};
constexpr CommandId c_getSetting{0x83, 0x2C};
constexpr CommandId c_poweredOn{0x80, 0x2C};
constexpr CommandId c_anc{0x30, 0x2E};
constexpr CommandId c_battery{0xD6, 0x0C};
constexpr CommandId c_fwVersion{0x07, 0x1C};
constexpr CommandId c_systemAction{0x01, 0x11};
constexpr CommandId c_readiness{0x02, 0x00};
constexpr CommandId c_realtimeUpdate{0x03, 0x0E};
constexpr CommandId c_reclaimStorage{0x03, 0x0A};
constexpr CommandId c_saveBlock{0x0D, 0x0A};
constexpr CommandId c_readBlock{0x0C, 0x0A};

// Parameters of the set/get-parameter commands.
constexpr uint8_t c_paramEqIndex = 0x00;
constexpr uint8_t c_paramVpLevel = 0x20;
constexpr uint8_t c_paramMicMute = 0x22;
constexpr uint8_t c_paramNoiseReduction = 0x24;
constexpr uint8_t c_paramEarcupBalance = 0x25;
constexpr uint8_t c_paramAmpGain = 0x28;
constexpr uint8_t c_paramLeftGain = 0x29;
constexpr uint8_t c_paramRightGain = 0x2A;
constexpr uint8_t c_paramSidetoneLevel = 0x2C;
constexpr uint8_t c_paramMaxSidetoneLevel = 0x2D;
constexpr uint8_t c_paramSensors = 0x2E;
constexpr uint8_t c_paramNewFilm = 0x2F;
constexpr uint8_t c_paramMicLevel = 0x35;

// Settings of the set/get-setting commands.
constexpr uint8_t c_settingAutoPowerOff = 0x01;
constexpr uint8_t c_settingSidetone = 0x07;
constexpr uint8_t c_settingGameChatMix = 0x0B;

// Sub-commands of the noise-cancelling and user-EQ group.
constexpr uint8_t c_ancSetMode = 0x01;
constexpr uint8_t c_ancGetMode = 0x02;
constexpr uint8_t c_ancSetBiquad = 0x0B;
constexpr uint8_t c_ancSetUserEq = 0x0C;
constexpr uint8_t c_ancGetUserEq = 0x0D;
constexpr uint8_t c_ancGetBiquads = 0x32;

// System actions.
constexpr uint8_t c_actionFactoryReset = 0x95;
constexpr uint8_t c_actionPairing = 0xAA;

// The readiness query's payload.
constexpr uint8_t c_readinessQuery = 0x08;

// EQ storage: the UI block of slot k is stored under key bytes k EF, the coefficient block under
// 0xE42C + k (low byte first).
constexpr uint8_t c_uiKeyHigh = 0xEF;
constexpr uint16_t c_coefficientKeyBase = 0xE42C;
// The value the headset expects in a UI-block read request.
constexpr uint16_t c_readBlockLimit = 1000;

// Sensors: the rate is capped, the top bit switches them on. Their reports bypass the command
// stream: a 14-byte sample is report 3, a centre request from the headset report 4.
constexpr uint8_t c_sensorRateLimit = 60;
constexpr uint8_t c_sensorEnableBit = 0x80;
constexpr uint8_t c_sensorSampleReport = 3;
constexpr uint8_t c_sensorCentreReport = 4;
constexpr size_t c_sensorReportSize = 14;

// --- request frames ----------------------------------------------------------------------------

// Writes 05 5A L L id id: L counts the command id and the `payloadSize` bytes that follow.
inline void PutHeader(uint8_t* out, CommandId id, size_t payloadSize)
{
    const size_t length = payloadSize + 2;
    out[0] = c_marker;
    out[1] = c_request;
    out[2] = uint8_t(length & 0xFF);
    out[3] = uint8_t(length >> 8);
    out[4] = id.low;
    out[5] = id.high;
}

// A request that fits one package (up to 59 bytes). The length field follows what is appended,
// so no command counts its own bytes.
class Frame {
public:
    static constexpr size_t c_capacity = c_maxPackagePayload;

    explicit Frame(CommandId id) { PutHeader(m_bytes.data(), id, 0); }
    Frame(CommandId id, std::initializer_list<uint8_t> payload)
        : Frame(id)
    {
        for (uint8_t byte : payload)
            add(byte);
    }

    Frame& add(uint8_t byte)
    {
        assert(m_size < c_capacity);
        m_bytes[m_size++] = byte;
        setLength();
        return *this;
    }
    Frame& add(const uint8_t* bytes, size_t count)
    {
        assert(m_size + count <= c_capacity);
        std::memcpy(m_bytes.data() + m_size, bytes, count);
        m_size += count;
        setLength();
        return *this;
    }
    // A 16-bit value, low byte first.
    Frame& addLe16(uint16_t value) { return add(uint8_t(value & 0xFF)).add(uint8_t(value >> 8)); }
    // A 4-byte float in the headset's (little-endian) byte order.
    Frame& addFloat(float value)
    {
        static_assert(sizeof(float) == 4, "the headset takes IEEE-754 single precision floats");
        uint8_t bytes[4];
        std::memcpy(bytes, &value, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        std::swap(bytes[0], bytes[3]);
        std::swap(bytes[1], bytes[2]);
#endif
        return add(bytes, 4);
    }

    const uint8_t* data() const
    {
        return m_bytes.data();
    }
    size_t size() const
    {
        return m_size;
    }

private:
    void setLength()
    {
        const size_t length = m_size - c_headerSize;
        m_bytes[2] = uint8_t(length & 0xFF);
        m_bytes[3] = uint8_t(length >> 8);
    }

    std::array<uint8_t, c_capacity> m_bytes{};
    size_t m_size = c_headerSize + 2; // marker, kind, length and command id
};

// --- reply checks ------------------------------------------------------------------------------

struct ByteIs {
    uint8_t at;
    uint8_t value;
};

// What makes a reply the answer to a request: a least length and fixed bytes. `statusAt`, when
// not 0, names the status byte, 0 meaning done; it is read only once the reply was taken, so a
// refusal is consumed as the answer, never skipped as someone else's.
struct ReplyCheck {
    static constexpr size_t c_maxBytes = 9;

    uint8_t minLength = 0;
    uint8_t count = 0;
    std::array<ByteIs, c_maxBytes> bytes{};
    uint8_t statusAt = 0;

    // Checks declared with these read as the reply they describe.
    constexpr ReplyCheck with(uint8_t at, uint8_t value) const
    {
        ReplyCheck check = *this;
        check.bytes[check.count] = ByteIs{at, value};
        ++check.count;
        return check;
    }
    constexpr ReplyCheck atLeast(uint8_t length) const
    {
        ReplyCheck check = *this;
        check.minLength = length;
        return check;
    }
    constexpr ReplyCheck status(uint8_t at) const
    {
        ReplyCheck check = *this;
        check.statusAt = at;
        return check;
    }

    // Only the bytes below minLength are read.
    bool accepts(const uint8_t* reply) const
    {
        for (uint8_t i = 0; i < count; ++i) {
            if (reply[bytes[i].at] != bytes[i].value)
                return false;
        }
        return true;
    }
    bool statusOk(const uint8_t* reply) const { return statusAt == 0 || reply[statusAt] == 0; }
};

// 05 5B - 00 id id: a response to the command `id`.
constexpr ReplyCheck Response(CommandId id, uint8_t minLength)
{
    return ReplyCheck{}
        .atLeast(minLength)
        .with(0, c_marker)
        .with(1, c_response)
        .with(3, 0x00)
        .with(4, id.low)
        .with(5, id.high);
}

// 05 5D - 00 id id: the notification that follows a response to `id`.
constexpr ReplyCheck Notification(CommandId id, uint8_t minLength)
{
    return ReplyCheck{}
        .atLeast(minLength)
        .with(0, c_marker)
        .with(1, c_notification)
        .with(3, 0x00)
        .with(4, id.low)
        .with(5, id.high);
}

// 05 5B 05 00 00 09 param 00 status.
constexpr ReplyCheck SetParamReply(uint8_t param)
{
    return Response(c_setParameter, 9).with(6, param).with(7, 0x00);
}

// 05 5B L 00 01 09 param 00 status value.
constexpr ReplyCheck GetParamReply(uint8_t param)
{
    return Response(c_getParameter, 10).with(6, param).with(7, 0x00);
}

// 05 5B L 00 82|83 2C status setting 00 value...
constexpr ReplyCheck SettingReply(CommandId id, uint8_t setting, uint8_t minLength)
{
    return Response(id, minLength).with(7, setting).with(8, 0x00);
}

// 05 5B L 00 30 2E sub ...
constexpr ReplyCheck AncReply(uint8_t sub, uint8_t minLength = 9)
{
    return Response(c_anc, minLength).with(6, sub);
}

} // namespace Wire
} // namespace Devices
