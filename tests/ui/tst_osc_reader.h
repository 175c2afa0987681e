#pragma once

// Reads the OSC 1.0 messages that the head-tracking output sends, independently of the writer:
// the padded address, the padded type tags, and big-endian float32 arguments.

#include <QByteArray>
#include <QList>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

#include <cstring>

struct OscReading {
    bool wellFormed = false;
    QByteArray address;
    QByteArray tags;     // without the leading ","
    QList<quint32> bits; // each float argument's raw bits, to tell -0.0 from 0
    QList<float> floats;
};

inline OscReading ReadOsc(const QByteArray& datagram)
{
    OscReading reading;
    qsizetype pos = 0;
    const auto readPadded = [&](QByteArray& out) {
        const qsizetype end = datagram.indexOf('\0', pos);
        if (end < 0)
            return false;
        out = datagram.mid(pos, end - pos);
        pos = (end + 4) & ~qsizetype(3);
        return pos <= datagram.size();
    };
    if (datagram.size() % 4 != 0 || !readPadded(reading.address) || !reading.address.startsWith('/'))
        return reading;
    QByteArray tags;
    if (!readPadded(tags) || !tags.startsWith(','))
        return reading;
    reading.tags = tags.mid(1);
    for (char tag : reading.tags) {
        if (tag != 'f' || pos + 4 > datagram.size())
            return reading;
        const quint32 bits = qFromBigEndian<quint32>(datagram.constData() + pos);
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        reading.bits << bits;
        reading.floats << value;
        pos += 4;
    }
    reading.wellFormed = pos == datagram.size();
    return reading;
}

// A receiver on the loopback interface, on a port the system picks.
class OscReceiver {
public:
    OscReceiver() { m_bound = m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0); }

    bool isBound() const { return m_bound; }
    quint16 port() const { return m_socket.localPort(); }
    QString portText() const { return QString::number(port()); }

    // The next datagram, waiting up to `timeoutMs` for it; empty when none came.
    QByteArray next(int timeoutMs = 5000)
    {
        if (!m_socket.hasPendingDatagrams())
            m_socket.waitForReadyRead(timeoutMs);
        if (!m_socket.hasPendingDatagrams())
            return QByteArray();
        return m_socket.receiveDatagram().data();
    }
    bool hasPending() { return m_socket.hasPendingDatagrams(); }

private:
    QUdpSocket m_socket;
    bool m_bound = false;
};
