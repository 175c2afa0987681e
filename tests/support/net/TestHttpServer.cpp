#include "TestHttpServer.h"

#include <QFile>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace TestNet {

namespace {

QByteArray ReadFixture(const char* name)
{
    QFile file(QStringLiteral(VELMOR_TEST_NET_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("TestHttpServer: cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

QByteArray StatusLine(int status)
{
    switch (status) {
    case 200: return "HTTP/1.1 200 OK\r\n";
    case 206: return "HTTP/1.1 206 Partial Content\r\n";
    case 302: return "HTTP/1.1 302 Found\r\n";
    case 404: return "HTTP/1.1 404 Not Found\r\n";
    default: return "HTTP/1.1 500 Internal Server Error\r\n";
    }
}

// A negative length announces none.
QByteArray Head(int status, qint64 contentLength, const QByteArray& extra = QByteArray(),
                const QByteArray& contentType = "application/octet-stream")
{
    const QByteArray length =
        contentLength < 0 ? QByteArray() : "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    return StatusLine(status) + "Content-Type: " + contentType + "\r\n" + length + "Connection: close\r\n" + extra +
           "\r\n";
}

QByteArray Chunk(const QByteArray& bytes)
{
    return QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n";
}

const QByteArray c_chunked = "Transfer-Encoding: chunked\r\n";

} // namespace

TestHttpServer::TestHttpServer(bool tls, QObject* parent)
    : QObject(parent)
    , m_tls(tls)
{
    if (tls) {
        auto* server = new QSslServer(this);
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(certificate());
        config.setPrivateKey(QSslKey(ReadFixture("test-server.key"), QSsl::Rsa));
        config.setPeerVerifyMode(QSslSocket::VerifyNone); // clients bring no certificate
        server->setSslConfiguration(config);
        m_server = server;
    } else {
        m_server = new QTcpServer(this);
    }
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &TestHttpServer::onNewConnection);
}

TestHttpServer::~TestHttpServer() = default;

bool TestHttpServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::origin(const QString& path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_server->serverPort())
        .arg(path);
}

void TestHttpServer::serve(const QString& path, const QByteArray& body, Fault fault)
{
    m_routes[path] = Route{body, fault, QByteArray(), m_routes.value(path).contentType};
}

void TestHttpServer::setContentType(const QString& path, const QByteArray& type)
{
    m_routes[path].contentType = type;
}

void TestHttpServer::setFault(const QString& path, Fault fault)
{
    m_routes[path].fault = fault;
}

void TestHttpServer::redirect(const QString& path, const QString& target)
{
    Route route;
    route.location = target.startsWith(QLatin1Char('/')) ? origin(target).toUtf8() : target.toUtf8();
    m_routes[path] = route;
}

void TestHttpServer::remove(const QString& path)
{
    m_routes.remove(path);
}

void TestHttpServer::release(const QString& path)
{
    QList<Held> waiting;
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (path.isEmpty() || it->path == path) {
            waiting.append(*it);
            it = m_held.erase(it);
        } else {
            ++it;
        }
    }
    for (const Held& held : waiting) {
        if (held.socket)
            respond(held.socket, held.path, true);
    }
}

void TestHttpServer::setSlowPace(int intervalMs, int pieces)
{
    m_slowIntervalMs = intervalMs;
    m_slowPieces = qMax(1, pieces);
}

QSslCertificate TestHttpServer::certificate()
{
    static const QSslCertificate cert(ReadFixture("test-server.crt"), QSsl::Pem);
    return cert;
}

QSslConfiguration TestHttpServer::clientSslConfiguration()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(certificate());
    return config;
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void TestHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    buffer.clear();
    QString path = requestLine.size() >= 2 ? QString::fromUtf8(requestLine[1]) : QString();
    const qsizetype query = path.indexOf(QLatin1Char('?'));
    if (query >= 0)
        path.truncate(query);
    path = QUrl::fromPercentEncoding(path.toUtf8());
    m_requests.append(path);
    if (requestLine.value(0) != "GET") {
        socket->write(Head(500, 0));
        socket->disconnectFromHost();
        return;
    }
    respond(socket, path, false);
}

void TestHttpServer::respond(QTcpSocket* socket, const QString& path, bool released)
{
    const auto it = m_routes.constFind(path);
    if (it == m_routes.constEnd()) {
        socket->write(Head(404, 0));
        socket->disconnectFromHost();
        return;
    }
    const Route& route = *it;
    if (!route.location.isEmpty()) {
        socket->write(Head(302, 0, "Location: " + route.location + "\r\n"));
        socket->disconnectFromHost();
        return;
    }
    switch (released && route.fault == Fault::Held ? Fault::None : route.fault) {
    case Fault::None:
        socket->write(Head(200, route.body.size(), QByteArray(), route.contentType) + route.body);
        socket->disconnectFromHost();
        break;
    case Fault::NotFound:
        socket->write(Head(404, 0));
        socket->disconnectFromHost();
        break;
    case Fault::ServerError:
        socket->write(Head(500, 0));
        socket->disconnectFromHost();
        break;
    case Fault::Stall: break;
    case Fault::Slow:
        socket->write(Head(200, route.body.size()));
        sendSlowly(socket, route.body);
        break;
    case Fault::Truncated:
        socket->write(Head(200, route.body.size()) + route.body.left(route.body.size() / 2));
        socket->disconnectFromHost();
        break;
    case Fault::Partial: {
        const QByteArray half = route.body.left(route.body.size() / 2);
        const QByteArray range = "Content-Range: bytes 0-" + QByteArray::number(qMax<qsizetype>(0, half.size() - 1)) +
                                 "/" + QByteArray::number(route.body.size()) + "\r\n";
        socket->write(Head(206, half.size(), range) + half);
        socket->disconnectFromHost();
        break;
    }
    case Fault::Held: m_held.append(Held{socket, path}); break;
    case Fault::Unannounced:
        socket->write(Head(200, -1) + route.body);
        socket->disconnectFromHost();
        break;
    case Fault::CutUnannounced:
        socket->write(Head(200, -1) + route.body.left(route.body.size() / 2));
        socket->flush();
        // Cut without a TLS close: what a dropped connection looks like.
        QTimer::singleShot(200, socket, [socket] { socket->abort(); });
        break;
    case Fault::Chunked: {
        const qsizetype half = route.body.size() / 2;
        socket->write(Head(200, -1, c_chunked) + Chunk(route.body.left(half)) + Chunk(route.body.mid(half)) +
                      "0\r\n\r\n");
        socket->disconnectFromHost();
        break;
    }
    case Fault::ChunkedCut:
        socket->write(Head(200, -1, c_chunked) + Chunk(route.body.left(route.body.size() / 2)));
        socket->flush();
        QTimer::singleShot(200, socket, [socket] { socket->abort(); });
        break;
    case Fault::Compressed:
        socket->write(Head(200, route.body.size(), "Content-Encoding: gzip\r\n") + route.body);
        socket->disconnectFromHost();
        break;
    case Fault::DuplicateLength:
        socket->write(Head(200, route.body.size(), "Content-Length: 100\r\n") + route.body);
        socket->disconnectFromHost();
        break;
    case Fault::InvalidLength:
        socket->write(Head(200, -1, "Content-Length: 12abc\r\n") + route.body);
        socket->disconnectFromHost();
        break;
    case Fault::Oversized: socket->write(Head(200, qint64(1) << 30) + route.body); break;
    case Fault::Endless:
        socket->write(Head(200, -1, c_chunked));
        sendEndlessly(socket, path);
        break;
    }
}

void TestHttpServer::sendEndlessly(QTcpSocket* socket, const QString& path)
{
    // A new piece whenever the previous ones have left, so that what is sent follows what the
    // client reads (give or take the system's socket buffers).
    const QByteArray piece = Chunk(QByteArray(16 * 1024, 'e'));
    ++m_endlessRunning;
    auto* pump = new QTimer(socket);
    pump->setInterval(1);
    connect(pump, &QTimer::timeout, socket, [this, socket, piece, path] {
        auto* ssl = qobject_cast<QSslSocket*>(socket);
        const qint64 pending = socket->bytesToWrite() + (ssl ? ssl->encryptedBytesToWrite() : 0);
        if (pending < 64 * 1024) {
            socket->write(piece);
            m_bytesSent[path] += piece.size();
        }
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, pump] {
        pump->stop();
        --m_endlessRunning;
    });
    pump->start();
}

void TestHttpServer::sendSlowly(QTcpSocket* socket, const QByteArray& body)
{
    const qsizetype pieceSize = qMax<qsizetype>(1, (body.size() + m_slowPieces - 1) / m_slowPieces);
    auto* timer = new QTimer(socket);
    timer->setInterval(m_slowIntervalMs);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, pieceSize, sent] {
        socket->write(body.mid(*sent, pieceSize));
        *sent += pieceSize;
        if (*sent >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start();
}

} // namespace TestNet
