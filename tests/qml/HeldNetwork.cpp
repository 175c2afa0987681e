#include "HeldNetwork.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

class HeldReply : public QNetworkReply {
public:
    HeldReply(QNetworkAccessManager::Operation operation, const QNetworkRequest& request, QObject* parent)
        : QNetworkReply(parent)
    {
        setOperation(operation);
        setRequest(request);
        setUrl(request.url());
        open(QIODevice::ReadOnly);
    }
    void abort() override { close(); }

protected:
    qint64 readData(char*, qint64) override { return 0; }
};

bool IsThisMachine(const QUrl& url)
{
    const QString host = url.host();
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

class HeldNetworkAccessManager : public QNetworkAccessManager {
public:
    using QNetworkAccessManager::QNetworkAccessManager;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* data) override
    {
        const QString scheme = request.url().scheme();
        const bool remote =
            (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !IsThisMachine(request.url());
        if (remote) {
            HeldRequestLog::Instance().append(request.url().toString());
            return new HeldReply(operation, request, this);
        }
        return QNetworkAccessManager::createRequest(operation, request, data);
    }
};

} // namespace

HeldRequestLog& HeldRequestLog::Instance()
{
    static HeldRequestLog log;
    return log;
}

void HeldRequestLog::append(const QString& url)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(url);
}

QStringList HeldRequestLog::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

void HeldRequestLog::clear()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

QNetworkAccessManager* HeldNetworkFactory::create(QObject* parent)
{
    return new HeldNetworkAccessManager(parent);
}
