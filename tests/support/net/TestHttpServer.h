#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <QUrl>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace TestNet {

// A small HTTP/1.1 server on 127.0.0.1 for tests of network clients: plain or over TLS with a
// certificate of its own that only the tests trust (clientSslConfiguration). It answers GET
// requests from a table of paths and can misbehave on demand. Every response closes its
// connection. Unknown paths get 404. Lives on the thread that creates it; the test's event loop
// (QTRY_*, QSignalSpy::wait) drives it.
class TestHttpServer : public QObject {
    Q_OBJECT

public:
    enum class Fault {
        None,            // 200 and the body
        NotFound,        // 404
        ServerError,     // 500
        Stall,           // reads the request and never answers
        Slow,            // 200, the body in small pieces a while apart
        Truncated,       // announces the whole body, sends half of it and closes
        Partial,         // 206: the first half of the body, complete as announced
        Held,            // answers only once release() is called, as the path's route then says
        Unannounced,     // 200, no length announced, the whole body, then a clean close
        CutUnannounced,  // 200, no length announced, half the body, then the connection is cut
                         // (no TLS close)
        Chunked,         // 200, the body in chunks, ended properly
        ChunkedCut,      // 200, the first half of the body as a chunk, then the connection is cut
        Compressed,      // 200 with "Content-Encoding: gzip" and the body as it is
        Oversized,       // announces 1 GiB, sends the body and then nothing more, keeping the connection
        Endless,         // 200, chunks of 16 KiB for as long as the client reads them
        DuplicateLength, // 200 with two Content-Length headers: the body's and 100
        InvalidLength,   // 200 with "Content-Length: 12abc", the body, then a clean close
    };

    explicit TestHttpServer(bool tls, QObject* parent = nullptr);
    ~TestHttpServer() override;

    // Listens on 127.0.0.1 on a free port.
    bool listen();
    // "https://127.0.0.1:<port>" (or http), with `path` appended.
    QString origin(const QString& path = QString()) const;

    void serve(const QString& path, const QByteArray& body, Fault fault = Fault::None);
    void setFault(const QString& path, Fault fault);
    // The Content-Type of the path's 200 answers (by default application/octet-stream).
    void setContentType(const QString& path, const QByteArray& type);
    // 302 to `target` (a path of this server or any URL).
    void redirect(const QString& path, const QString& target);
    void remove(const QString& path);
    // Answers the held requests of `path` (all paths when empty) as the routes stand now: normally
    // when the route is still Held, else with the route's fault.
    void release(const QString& path = QString());
    int heldCount() const { return int(m_held.size()); }

    // The paths requested, in the order the requests arrived.
    QStringList requests() const { return m_requests; }
    int requestCount(const QString& path) const { return int(m_requests.count(path)); }
    void clearRequests() { m_requests.clear(); }

    // Time between two pieces of a Slow body, and their number.
    void setSlowPace(int intervalMs, int pieces);
    // Endless bodies still being sent, and the bytes sent for `path` so far.
    int endlessRunning() const { return m_endlessRunning; }
    qint64 bytesSent(const QString& path) const { return m_bytesSent.value(path); }

    static QSslCertificate certificate();
    // The system's client settings with the server's certificate trusted as well.
    static QSslConfiguration clientSslConfiguration();

private:
    struct Route {
        QByteArray body;
        Fault fault = Fault::None;
        QByteArray location; // redirect target when not empty
        QByteArray contentType = "application/octet-stream";
    };
    struct Held {
        QPointer<QTcpSocket> socket;
        QString path;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QString& path, bool released);
    void sendSlowly(QTcpSocket* socket, const QByteArray& body);
    void sendEndlessly(QTcpSocket* socket, const QString& path);

    QTcpServer* m_server;
    bool m_tls;
    QHash<QString, Route> m_routes;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<Held> m_held;
    QStringList m_requests;
    int m_slowIntervalMs = 100;
    int m_slowPieces = 8;
    int m_endlessRunning = 0;
    QHash<QString, qint64> m_bytesSent;
};

} // namespace TestNet
