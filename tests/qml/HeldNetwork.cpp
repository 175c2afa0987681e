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
        const bool remote = (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            && !IsThisMachine(request.url());
        if (remote)
            return new HeldReply(operation, request, this);
        return QNetworkAccessManager::createRequest(operation, request, data);
    }
};

} // namespace

QNetworkAccessManager* HeldNetworkFactory::create(QObject* parent)
{
    return new HeldNetworkAccessManager(parent);
}
