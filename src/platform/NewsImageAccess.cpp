#include "platform/NewsImageAccess.h"

#include "core/GlobalLogger.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace Platform {

// A reply handed to the engine: it waits for the shared download of its link and then serves its
// body, or its failure.
class BufferedReply final : public QNetworkReply {
public:
    BufferedReply(const QNetworkRequest& request, QObject* parent)
        : QNetworkReply(parent)
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(QNetworkAccessManager::GetOperation);
        QNetworkReply::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    void deliver(const QByteArray& body)
    {
        if (isFinished())
            return;
        m_body = body;
        setHeader(QNetworkRequest::ContentLengthHeader, body.size());
        setAttribute(QNetworkRequest::HttpStatusCodeAttribute, 200);
        emit metaDataChanged();
        emit downloadProgress(body.size(), body.size());
        emit readyRead();
        setFinished(true);
        emit finished();
    }

    void fail(NetworkError code, const QString& why)
    {
        if (isFinished())
            return;
        setError(code, why);
        emit errorOccurred(code);
        setFinished(true);
        emit finished();
    }

    void abort() override { fail(OperationCanceledError, QStringLiteral("Operation canceled")); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_body.size() - m_read + QNetworkReply::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>(maxSize, m_body.size() - m_read);
        if (count <= 0)
            return isFinished() ? -1 : 0;
        std::memcpy(data, m_body.constData() + m_read, size_t(count));
        m_read += count;
        return count;
    }

private:
    QByteArray m_body;
    qint64 m_read = 0;
};

struct NewsImageAccess::Download {
    QByteArray body;
    bool done = false;
    QList<QPointer<BufferedReply>> waiting;
};

NewsImageAccess::NewsImageAccess(QObject* parent)
    : QNetworkAccessManager(parent)
    , m_fetcher(this)
{
}

NewsImageAccess::~NewsImageAccess()
{
    m_fetcher.abortAll();
}

void NewsImageAccess::setFetchSslConfiguration(const QSslConfiguration& configuration)
{
    m_fetcher.setSslConfiguration(configuration);
}

void NewsImageAccess::setDeadlines(int idleMs, int graceMs, qint64 minBytesPerSecond)
{
    m_fetcher.manager()->setTransferTimeout(idleMs);
    m_fetcher.setMinimumRate(graceMs, minBytesPerSecond);
}

QNetworkReply* NewsImageAccess::createRequest(Operation op, const QNetworkRequest& request, QIODevice* outgoingData)
{
    const QString scheme = request.url().scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QNetworkAccessManager::createRequest(op, request, outgoingData);

    auto* reply = new BufferedReply(request, this);
    const QUrl url = request.url();
    if (op != GetOperation || !UpdateFetcher::IsFollowed(url, QStringLiteral("news image"))) {
        QTimer::singleShot(0, reply, [reply] {
            reply->fail(QNetworkReply::ProtocolUnknownError, QStringLiteral("only https links are fetched"));
        });
        return reply;
    }
    std::shared_ptr<Download>& download = m_downloads[url];
    if (!download) {
        download = std::make_shared<Download>();
        download->waiting.append(reply);
        start(url, download);
    } else if (download->done) {
        QTimer::singleShot(0, reply, [reply, body = download->body] { reply->deliver(body); });
    } else {
        download->waiting.append(reply);
    }
    return reply;
}

void NewsImageAccess::start(const QUrl& url, const std::shared_ptr<Download>& download)
{
    QNetworkReply* reply = m_fetcher.get(url, "news image");
    if (!reply)
        return;
    const std::weak_ptr<Download> weak = download;
    auto failed = [this, url, weak] {
        const std::shared_ptr<Download> d = weak.lock();
        if (!d)
            return;
        if (m_downloads.value(url) == d)
            m_downloads.remove(url); // a later request tries again
        for (const QPointer<BufferedReply>& waiting : std::as_const(d->waiting)) {
            if (waiting)
                waiting->fail(QNetworkReply::ContentAccessDenied,
                              QStringLiteral("the picture could not be fetched; the log says why"));
        }
        d->waiting.clear();
    };
    m_fetcher.handle(reply,
                     UpdateFetcher::Body{"news image", m_limit,
                                         [weak](QNetworkReply*, const QByteArray& piece, QString& problem) {
                                             const std::shared_ptr<Download> d = weak.lock();
                                             if (!d) {
                                                 problem = QStringLiteral("no one waits for it any more");
                                                 return false;
                                             }
                                             d->body += piece;
                                             return true;
                                         },
                                         true},
                     UpdateFetcher::Steps{[] { return true; }, failed, failed,
                                          [this, url, weak](QNetworkReply*, const QByteArray&) {
                                              const std::shared_ptr<Download> d = weak.lock();
                                              if (!d)
                                                  return;
                                              d->done = true;
                                              for (const QPointer<BufferedReply>& waiting : std::as_const(d->waiting)) {
                                                  if (waiting)
                                                      waiting->deliver(d->body);
                                              }
                                              d->waiting.clear();
                                              keep(url, d);
                                          }});
}

void NewsImageAccess::keep(const QUrl& url, const std::shared_ptr<Download>& download)
{
    m_kept.push_back(url);
    m_keptBytes += download->body.size();
    // The oldest bodies go first once the budget is passed; the newest is always kept.
    while (m_keptBytes > KeptBytes && m_kept.size() > 1) {
        const QUrl oldest = m_kept.front();
        m_kept.pop_front();
        if (const std::shared_ptr<Download> gone = m_downloads.take(oldest))
            m_keptBytes -= gone->body.size();
    }
}

} // namespace Platform
