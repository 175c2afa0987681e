#include "core/GlobalLogger.h"
#include "platform/NewsImageAccess.h"
#include "support/LogText.h"
#include "support/TestAppData.h"

#include "TestHttpServer.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Platform::NewsImageAccess;
using TestNet::TestHttpServer;
using Fault = TestHttpServer::Fault;

using TestSupport::LogText;

namespace {

constexpr int WaitMs = 30000;

} // namespace

// The engine's access manager for news pictures, against a local HTTPS server.
class TestNewsImages : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<NewsImageAccess> m_access;

    // Asks for `url` as the engine would; the reply is the manager's.
    QNetworkReply* get(const QString& url) { return m_access->get(QNetworkRequest(QUrl(url))); }

    static bool waitFinished(QNetworkReply* reply)
    {
        if (reply->isFinished())
            return true;
        QSignalSpy finished(reply, &QNetworkReply::finished);
        return finished.wait(WaitMs);
    }

private slots:
    void initTestCase() { TestSupport::UseTestAppData(); }

    void init()
    {
        m_server = std::make_unique<TestHttpServer>(true);
        QVERIFY(m_server->listen());
        m_access = std::make_unique<NewsImageAccess>();
        m_access->setFetchSslConfiguration(TestHttpServer::clientSslConfiguration());
        m_access->setImageLimit(64 * 1024);
        m_access->setDeadlines(1000, 3000, 1000); // a stall meets the idle limit first
    }

    void cleanup()
    {
        m_access.reset();
        m_server.reset();
    }

    // However many items show a picture, it is fetched once; a later request is served from memory.
    void onePictureOneRequest()
    {
        const QByteArray picture(20000, 'p');
        m_server->serve("/news/a.png", picture, Fault::Held);
        QList<QNetworkReply*> replies;
        for (int i = 0; i < 3; ++i)
            replies << get(m_server->origin("/news/a.png"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, WaitMs);
        m_server->release();
        for (QNetworkReply* reply : std::as_const(replies)) {
            QVERIFY(waitFinished(reply));
            QCOMPARE(reply->error(), QNetworkReply::NoError);
            QCOMPARE(reply->readAll(), picture);
        }
        QNetworkReply* later = get(m_server->origin("/news/a.png"));
        QVERIFY(waitFinished(later));
        QCOMPARE(later->readAll(), picture);
        QCOMPARE(m_server->requestCount("/news/a.png"), 1);
    }

    // A picture that breaks a rule fails, the log says which, and a later request tries again.
    void refusedPictures_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("logged");
        QTest::newRow("larger than the limit") << Fault::None << 70000 << "(the size limit)";
        QTest::newRow("announcing 1 GiB") << Fault::Oversized << 1000 << "(the size limit)";
        QTest::newRow("stalled") << Fault::Stall << 1000 << "(the idle limit)";
        QTest::newRow("dripping") << Fault::Slow << 1000 << "(the minimum rate limit)";
        QTest::newRow("compressed") << Fault::Compressed << 1000 << "compressed bodies are not unpacked";
        QTest::newRow("endless") << Fault::Endless << 1000 << "(the size limit)";
    }
    void refusedPictures()
    {
        QFETCH(Fault, fault);
        QFETCH(int, size);
        QFETCH(QString, logged);
        m_server->serve("/news/b.png", QByteArray(size, 'b'), fault);
        m_server->setSlowPace(200, size);
        const QString logBefore = LogText();
        QNetworkReply* reply = get(m_server->origin("/news/b.png"));
        QVERIFY(waitFinished(reply));
        QVERIFY(reply->error() != QNetworkReply::NoError);
        QVERIFY(reply->readAll().isEmpty());
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(
            log.contains(
                QStringLiteral("Request for the news image at %1 failed: ").arg(m_server->origin("/news/b.png"))) &&
                log.contains(logged),
            qPrintable(log));

        m_server->serve("/news/b.png", "fine");
        QNetworkReply* again = get(m_server->origin("/news/b.png"));
        QVERIFY(waitFinished(again));
        QCOMPARE(again->readAll(), QByteArray("fine"));
        QCOMPARE(m_server->requestCount("/news/b.png"), 2);
    }

    // A document where a picture is expected is refused; a drawing, an XML document announced
    // as one, is a picture.
    void documentsAndDrawings_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("taken");
        const QByteArray drawing =
            R"(<?xml version="1.0"?><svg xmlns="http://www.w3.org/2000/svg" width="8" height="8"/>)";
        QTest::newRow("HTML page") << QByteArray("<html><body>Moved</body></html>") << QByteArray("text/html") << false;
        QTest::newRow("HTML page, told a picture")
            << QByteArray("<!DOCTYPE html><html></html>") << QByteArray("image/png") << false;
        QTest::newRow("text page") << QByteArray("Not found") << QByteArray("text/plain") << false;
        QTest::newRow("XML document") << drawing << QByteArray("application/xml") << false;
        QTest::newRow("SVG drawing") << drawing << QByteArray("image/svg+xml") << true;
        QTest::newRow("SVG drawing, with a charset") << drawing << QByteArray("Image/SVG+XML; charset=utf-8") << true;
    }
    void documentsAndDrawings()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, type);
        QFETCH(bool, taken);
        m_server->serve("/news/c", body);
        m_server->setContentType("/news/c", type);
        QNetworkReply* reply = get(m_server->origin("/news/c"));
        QVERIFY(waitFinished(reply));
        QCOMPARE(reply->error() == QNetworkReply::NoError, taken);
        QCOMPARE(reply->readAll(), taken ? body : QByteArray());
    }

    // Plain http is never asked.
    void onlyHttps()
    {
        TestHttpServer plain(false);
        QVERIFY(plain.listen());
        plain.serve("/news/d.png", "picture");
        QNetworkReply* reply = get(plain.origin("/news/d.png"));
        QVERIFY(waitFinished(reply));
        QCOMPARE(reply->error(), QNetworkReply::ProtocolUnknownError);
        QVERIFY(plain.requests().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNewsImages)
#include "tst_news_images.moc"
