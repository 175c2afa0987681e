#pragma once

#include <QByteArray>

namespace Utils {

// Builds one Open Sound Control 1.0 message: the address, the type-tag string and the arguments,
// each padded with NUL bytes to a multiple of 4, every number big-endian. Only int32 ("i"),
// float32 ("f") and string ("s") arguments exist.
//
//     OscMessageWriter writer("/ypr", 20, 20);
//     writer.addFloat32(yaw);
//     socket.writeDatagram(writer.getBytes(), host, port);
//
// A writer is used by one thread at a time.
class OscMessageWriter {
public:
    // Reserves room for `headReserve` bytes of address and tags and `argumentsReserve` bytes of
    // arguments (negative counts as 0). A null address counts as empty.
    OscMessageWriter(const char* address, int headReserve, int argumentsReserve);

    void addInt32(int value);
    void addFloat32(float value);
    // A null text counts as empty.
    void addString(const char* text);

    // The complete message; each call builds a new array, so the writer can be read again.
    QByteArray getBytes() const;

    // Appends the text (null counts as empty), one NUL, then NULs up to a multiple of 4 bytes.
    static void AddStringAndAlign(QByteArray& bytes, const char* text);
    // Appends NULs up to a multiple of 4 bytes; nothing when already aligned.
    static void AlignBytes(QByteArray& bytes);
    // Appends the value's 4 bytes, most significant first.
    static void Add32BitNumber(QByteArray& bytes, int value);

private:
    QByteArray m_head;      // the address string, then the type tags added so far
    QByteArray m_arguments; // the encoded arguments in order
};

} // namespace Utils
