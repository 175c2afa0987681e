#include "utils/OscMessageWriter.h"

#include "utils/Utils.h"

#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Utils {

namespace {

constexpr qsizetype c_alignment = 4;

qsizetype PaddedSize(qsizetype size)
{
    return (size + c_alignment - 1) / c_alignment * c_alignment;
}

} // namespace

OscMessageWriter::OscMessageWriter(const char* address, int headReserve, int argumentsReserve)
{
    m_head.reserve(std::max(headReserve, 0));
    m_arguments.reserve(std::max(argumentsReserve, 0));
    AddStringAndAlign(m_head, address);
    m_head.append(',');
}

void OscMessageWriter::addInt32(int value)
{
    m_head.append('i');
    Add32BitNumber(m_arguments, value);
}

void OscMessageWriter::addFloat32(float value)
{
    static_assert(sizeof(float) == sizeof(int32_t), "OSC floats are IEEE 754 single precision");
    int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    m_head.append('f');
    Add32BitNumber(m_arguments, bits);
}

void OscMessageWriter::addString(const char* text)
{
    m_head.append('s');
    AddStringAndAlign(m_arguments, text);
}

QByteArray OscMessageWriter::getBytes() const
{
    // The tag string needs its NUL terminator, so a head that is already aligned grows by a
    // whole block.
    const qsizetype headSize = PaddedSize(m_head.size() + 1);
    QByteArray bytes;
    bytes.reserve(headSize + m_arguments.size());
    bytes.append(m_head);
    bytes.append('\0');
    AlignBytes(bytes);
    bytes.append(m_arguments);
    return bytes;
}

void OscMessageWriter::AddStringAndAlign(QByteArray& bytes, const char* text)
{
    if (text)
        bytes.append(text, qsizetype(std::strlen(text)));
    bytes.append('\0');
    AlignBytes(bytes);
}

void OscMessageWriter::AlignBytes(QByteArray& bytes)
{
    const qsizetype padding = PaddedSize(bytes.size()) - bytes.size();
    if (padding > 0)
        bytes.append(padding, '\0');
}

void OscMessageWriter::Add32BitNumber(QByteArray& bytes, int value)
{
    uint8_t raw[sizeof(int32_t)];
    std::memcpy(raw, &value, sizeof raw);
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
        Raw::ReverseEndianImpl(raw, sizeof raw);
    bytes.append(reinterpret_cast<const char*>(raw), qsizetype(sizeof raw));
}

} // namespace Utils
