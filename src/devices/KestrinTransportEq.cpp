// Custom EQ presets in the headset's non-volatile store.
//
// A preset lives in two blocks per slot: the UI block (the band settings, read back to show the
// preset) under key 0xEF00 + slot, and the coefficient block (what the audio path plays) under
// 0xE42C + slot. Storing one makes it audible at once, then reclaims room for and saves each
// block in turn.

#include "devices/KestrinTransport.h"

#include "devices/KestrinConverters.h"
#include "utils/Utils.h"

namespace Devices {

namespace {

using Validator = KestrinTransport::Validator;

constexpr uint8_t c_marker = 0x05;
constexpr uint8_t c_request = 0x5A;
constexpr uint8_t c_response = 0x5B;

constexpr uint8_t c_uiKeyHigh = 0xEF;
constexpr uint16_t c_coefficientKeyBase = 0xE42C;

// The value the headset expects in a UI-block read request.
constexpr uint16_t c_readLimit = 1000;

// Reply lengths of a UI-block read: an empty preset up to ten bands.
constexpr size_t c_minReadLengthField = 12;
constexpr size_t c_maxReadLengthField = 192;

bool IsReply(const unsigned char* r, uint8_t idLow, uint8_t idHigh)
{
    return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == idLow && r[5] == idHigh;
}

// 05 5A L L id id, with L covering the command id and everything appended after the header.
std::vector<uint8_t> CommandHeader(uint8_t idLow, uint8_t idHigh, size_t payloadSize)
{
    const size_t length = payloadSize + 2;
    return { c_marker, c_request, uint8_t(length & 0xFF), uint8_t(length >> 8), idLow, idHigh };
}

} // namespace

bool KestrinTransport::writeEqBands(uint8_t eqIndex, const KestrinEq& eq)
{
    const std::vector<uint8_t> ui = KestrinConverters::GetEqBytes(eq);

    std::lock_guard<std::mutex> lock(m_mutex);
    const std::vector<uint8_t> coefficients = KestrinConverters::GetCoefBytes(eq);

    // The store is slow to answer: wait longer for each reply while it works.
    m_longWait = true;
    Utils::ScopeGuard clearLongWait([this] { m_longWait = false; });

    // Every step is sent even after a failure, so the store ends up as complete as it can be; the
    // caller learns of any failure and may try again.
    bool ok = realtimeUpdatePeqUnsafe(coefficients);
    ok = reclaimPeqNvKeyUnsafe(uint16_t(ui.size())) && ok;
    ok = savePeqUiDataUnsafe(eqIndex, ui.data(), ui.size()) && ok;
    ok = reclaimPeqNvKeyUnsafe(uint16_t(coefficients.size())) && ok;
    ok = savePeqCoefUnsafe(eqIndex, coefficients) && ok;
    return ok;
}

bool KestrinTransport::readEqBands(uint8_t eqIndex, KestrinEq& eq)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsReply(r, 0x0C, 0x0A) && r[8] == c_uiKeyHigh;
    };
    const uint8_t request[] = { c_marker, c_request, 0x06, 0x00, 0x0C, 0x0A, eqIndex, c_uiKeyHigh,
        uint8_t(c_readLimit & 0xFF), uint8_t(c_readLimit >> 8) };

    KestrinEq read;
    if (!exchange(request, sizeof request, false, 24, is_response_valid, [&read, eqIndex](const uint8_t* reply, size_t length) {
            const size_t lengthField = size_t(reply[2] | reply[3] << 8);
            if (lengthField < c_minReadLengthField || lengthField > c_maxReadLengthField || lengthField + 4 > length)
                return false;
            if (reply[7] != eqIndex || reply[6] != 0)
                return false;
            // [9..10] are not ours to read; the UI block follows.
            return KestrinConverters::BytesToEq(reply + 11, lengthField - 7, read);
        }))
        return false;
    eq = std::move(read);
    return true;
}

bool KestrinTransport::realtimeUpdatePeqUnsafe(const std::vector<uint8_t>& coefficients)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsReply(r, 0x03, 0x0E); };
    std::vector<uint8_t> command = CommandHeader(0x03, 0x0E, coefficients.size() + 1);
    command.push_back(0x00);
    command.insert(command.end(), coefficients.begin(), coefficients.end());

    return exchangeUnsafe(command.data(), command.size(), false, 7, is_response_valid,
        [](const uint8_t* reply, size_t) { return reply[6] == 0; });
}

bool KestrinTransport::reclaimPeqNvKeyUnsafe(uint16_t size)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsReply(r, 0x03, 0x0A); };
    const uint8_t command[] = { c_marker, c_request, 0x04, 0x00, 0x03, 0x0A, uint8_t(size & 0xFF),
        uint8_t(size >> 8) };

    // The headset answers the reclaim without a status worth reading.
    return exchangeUnsafe(command, sizeof command, false, 7, is_response_valid,
        [](const uint8_t*, size_t) { return true; });
}

bool KestrinTransport::savePeqUiDataUnsafe(uint8_t eqIndex, const uint8_t* data, size_t size)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsReply(r, 0x0D, 0x0A); };
    std::vector<uint8_t> command = CommandHeader(0x0D, 0x0A, size + 2);
    command.push_back(eqIndex);
    command.push_back(c_uiKeyHigh);
    command.insert(command.end(), data, data + size);

    // The save answers with the key it stored: a reply for another block is a failure.
    return exchangeUnsafe(command.data(), command.size(), false, 9, is_response_valid,
        [eqIndex](const uint8_t* reply, size_t) {
            return reply[6] == 0 && reply[7] == eqIndex && reply[8] == c_uiKeyHigh;
        });
}

bool KestrinTransport::savePeqCoefUnsafe(uint8_t eqIndex, const std::vector<uint8_t>& coefficients)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsReply(r, 0x0D, 0x0A); };
    const uint16_t key = uint16_t(c_coefficientKeyBase + eqIndex);
    const uint8_t keyLow = uint8_t(key & 0xFF);
    const uint8_t keyHigh = uint8_t(key >> 8);
    std::vector<uint8_t> command = CommandHeader(0x0D, 0x0A, coefficients.size() + 2);
    command.push_back(keyLow);
    command.push_back(keyHigh);
    command.insert(command.end(), coefficients.begin(), coefficients.end());

    return exchangeUnsafe(command.data(), command.size(), false, 9, is_response_valid,
        [keyLow, keyHigh](const uint8_t* reply, size_t) {
            return reply[6] == 0 && reply[7] == keyLow && reply[8] == keyHigh;
        });
}

} // namespace Devices
