// Custom EQ presets in the headset's non-volatile store.
//
// A preset lives in two blocks per slot: the UI block (the band settings, read back to show the
// preset) under key 0xEF00 + slot, and the coefficient block (what the audio path plays) under
// 0xE42C + slot. Storing one makes it audible at once, then reclaims room for and saves each
// block in turn.

#include "devices/KestrinTransport.h"

#include "devices/KestrinConverters.h"
#include "devices/KestrinWire.h"
#include "utils/Utils.h"

namespace Devices {

using namespace Wire;

namespace {

// Reply lengths of a UI-block read: an empty preset up to ten bands.
constexpr size_t c_minReadLengthField = 12;
constexpr size_t c_maxReadLengthField = 192;

constexpr ReplyCheck c_realtimeUpdateReply = Response(c_realtimeUpdate, 7).status(6);
// The headset answers the reclaim without a status worth reading.
constexpr ReplyCheck c_reclaimReply = Response(c_reclaimStorage, 7);
// The save answers with the key it stored: a reply for another block is a failure.
constexpr ReplyCheck c_saveReply = Response(c_saveBlock, 9).status(6);
constexpr ReplyCheck c_readBlockReply = Response(c_readBlock, 24).with(8, c_uiKeyHigh);

// A command longer than one package: the header, then `payloadSize` bytes appended by the caller.
std::vector<uint8_t> LongCommand(CommandId id, size_t payloadSize)
{
    std::vector<uint8_t> command(c_headerSize + 2);
    PutHeader(command.data(), id, payloadSize);
    command.reserve(command.size() + payloadSize);
    return command;
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
    Frame request(c_readBlock);
    request.add(eqIndex).add(c_uiKeyHigh).addLe16(c_readBlockLimit);

    KestrinEq read;
    if (!exchange(request, false, c_readBlockReply, [&read, eqIndex](const uint8_t* reply, size_t length) {
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
    std::vector<uint8_t> command = LongCommand(c_realtimeUpdate, coefficients.size() + 1);
    command.push_back(0x00);
    command.insert(command.end(), coefficients.begin(), coefficients.end());

    return exchangeUnsafe(command.data(), command.size(), false, c_realtimeUpdateReply,
                          [](const uint8_t* reply, size_t) { return c_realtimeUpdateReply.statusOk(reply); });
}

bool KestrinTransport::reclaimPeqNvKeyUnsafe(uint16_t size)
{
    Frame command(c_reclaimStorage);
    command.addLe16(size);
    return exchangeUnsafe(command, false, c_reclaimReply);
}

bool KestrinTransport::savePeqUiDataUnsafe(uint8_t eqIndex, const uint8_t* data, size_t size)
{
    std::vector<uint8_t> command = LongCommand(c_saveBlock, size + 2);
    command.push_back(eqIndex);
    command.push_back(c_uiKeyHigh);
    command.insert(command.end(), data, data + size);

    return exchangeUnsafe(command.data(), command.size(), false, c_saveReply, [eqIndex](const uint8_t* reply, size_t) {
        return c_saveReply.statusOk(reply) && reply[7] == eqIndex && reply[8] == c_uiKeyHigh;
    });
}

bool KestrinTransport::savePeqCoefUnsafe(uint8_t eqIndex, const std::vector<uint8_t>& coefficients)
{
    const uint16_t key = uint16_t(c_coefficientKeyBase + eqIndex);
    const uint8_t keyLow = uint8_t(key & 0xFF);
    const uint8_t keyHigh = uint8_t(key >> 8);
    std::vector<uint8_t> command = LongCommand(c_saveBlock, coefficients.size() + 2);
    command.push_back(keyLow);
    command.push_back(keyHigh);
    command.insert(command.end(), coefficients.begin(), coefficients.end());

    return exchangeUnsafe(command.data(), command.size(), false, c_saveReply,
                          [keyLow, keyHigh](const uint8_t* reply, size_t) {
                              return c_saveReply.statusOk(reply) && reply[7] == keyLow && reply[8] == keyHigh;
                          });
}

} // namespace Devices
