#pragma once

#include <QMutex>
#include <QObject>
#include <QQmlNetworkAccessManagerFactory>
#include <QStringList>

// The addresses of every request that was held, in order. Images load on Qt Quick's own
// threads, each with a manager of its own, so the record is shared and locked.
class HeldRequestLog : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    static HeldRequestLog& Instance();
    void append(const QString& url);

    Q_INVOKABLE QStringList requests() const;
    Q_INVOKABLE void clear();

private:
    mutable QMutex m_mutex;
    QStringList m_requests;
};

// Keeps QML tests off the network: a request to any host but this machine is answered by a reply
// that stays pending until it is aborted, so an image from the web stays "Loading" and nothing
// leaves the machine (no name look-up either). Each held address is kept in HeldRequestLog.
class HeldNetworkFactory : public QQmlNetworkAccessManagerFactory {
public:
    QNetworkAccessManager* create(QObject* parent) override;
};
