#pragma once

#include "io/ISolvarineSerialPortClient.h"

#include <QByteArray>
#include <QList>
#include <QMap>

#include <deque>

// A serial client whose port is always held and whose unit is a script: each command written
// queues its reply, which the following reads hand out piece by piece. Single-threaded; the
// thread that builds the device drives it.
class ScriptedSerialPeer final : public Platform::ISolvarineSerialPortClient {
    Q_OBJECT
public:
    // One piece of a reply, handed out by one read (or by several when the reader asks for
    // fewer bytes). `silentReads` empty reads come first; `fail` makes that read fail (-1).
    struct Piece {
        QByteArray bytes;
        int silentReads = 0;
        bool fail = false;
    };

    // What the unit answers to `command` (the text of one write, without the terminator).
    // Replaces an earlier script for the same command.
    void onCommand(const QByteArray& command, const QList<Piece>& reply) { m_replies[command] = reply; }
    void onCommand(const QByteArray& command, const QByteArray& reply) { onCommand(command, {Piece{reply}}); }
    // Pieces readable without a command.
    void queue(const Piece& piece) { m_pending.push_back(piece); }
    // Writes of exactly this text fail (-1).
    void failWritesOf(const QByteArray& text) { m_failingWrites.append(text); }

    // Every write in order, and all of them run together.
    const QList<QByteArray>& writes() const { return m_writes; }
    QByteArray written() const;
    // The size each read asked for.
    const QList<size_t>& readSizes() const { return m_readSizes; }
    int pendingPieces() const { return int(m_pending.size()); }

    bool openDevice() override { return true; }
    bool closeDevice() override { return false; }
    bool hasDevice() override { return true; }
    int64_t write(const char* text) override;
    int64_t read(char* buffer, size_t size) override;

    // Replies of a unit that restarts into its bootloader, then describes its firmware as
    // `description`.
    static void ScriptRunningUnit(ScriptedSerialPeer& peer, const QByteArray& description);
    // Replies of a unit that is in its bootloader already.
    static void ScriptUnitInBootloader(ScriptedSerialPeer& peer, const QByteArray& description);
    // The bootloader's answer to "FI1" for a firmware described as `description`.
    static QByteArray FileInfoReply(const QByteArray& description);

private:
    QMap<QByteArray, QList<Piece>> m_replies;
    std::deque<Piece> m_pending;
    QList<QByteArray> m_failingWrites;
    QList<QByteArray> m_writes;
    QList<size_t> m_readSizes;
};
