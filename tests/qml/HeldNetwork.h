#pragma once

#include <QQmlNetworkAccessManagerFactory>

// Keeps QML tests off the network: a request to any host but this machine is answered by a reply
// that stays pending until it is aborted, so an image from the web stays "Loading" and nothing
// leaves the machine (no name look-up either).
class HeldNetworkFactory : public QQmlNetworkAccessManagerFactory {
public:
    QNetworkAccessManager* create(QObject* parent) override;
};
