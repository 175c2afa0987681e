#include "ScriptedSerialPeer.h"

#include <algorithm>
#include <cstring>

QByteArray ScriptedSerialPeer::written() const
{
    QByteArray all;
    for (const QByteArray& text : m_writes)
        all += text;
    return all;
}

int64_t ScriptedSerialPeer::write(const char* text)
{
    const QByteArray data(text);
    m_writes.append(data);
    if (m_failingWrites.contains(data))
        return -1;
    const auto reply = m_replies.constFind(data);
    if (reply != m_replies.constEnd()) {
        for (const Piece& piece : *reply)
            m_pending.push_back(piece);
    }
    return data.size();
}

int64_t ScriptedSerialPeer::read(char* buffer, size_t size)
{
    m_readSizes.append(size);
    if (m_pending.empty())
        return 0;
    Piece& piece = m_pending.front();
    if (piece.silentReads > 0) {
        --piece.silentReads;
        return 0;
    }
    if (piece.fail) {
        m_pending.pop_front();
        return -1;
    }
    const size_t count = std::min(size, size_t(piece.bytes.size()));
    std::memcpy(buffer, piece.bytes.constData(), count);
    piece.bytes.remove(0, qsizetype(count));
    if (piece.bytes.isEmpty())
        m_pending.pop_front();
    return int64_t(count);
}

QByteArray ScriptedSerialPeer::FileInfoReply(const QByteArray& description)
{
    return "FI1\n\r"
           "File Allocation Table, entry 1\n\r"
           "Size: 48120\n\r"
           "Description: " +
           description +
           "\n\r"
           "CRC: 0x5A1E\n\r"
           "\n\rDSP>";
}

void ScriptedSerialPeer::ScriptRunningUnit(ScriptedSerialPeer& peer, const QByteArray& description)
{
    peer.onCommand("SRST", {Piece{"Resetting DSP.\n\r"}, Piece{"\n\rdspBootloader(tm) ver 3.2\n\r#", 2}});
    peer.onCommand("@", {Piece{"@\n\r"}, Piece{"\n\rDSP>", 1}});
    peer.onCommand("FI1", FileInfoReply(description));
}

void ScriptedSerialPeer::ScriptUnitInBootloader(ScriptedSerialPeer& peer, const QByteArray& description)
{
    peer.onCommand("SRST", {Piece{"SRST"}, Piece{"\n\r"}, Piece{"\n\rDSP>", 1}});
    peer.onCommand("FI1", FileInfoReply(description));
}
