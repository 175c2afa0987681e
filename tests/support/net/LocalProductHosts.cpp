#include "LocalProductHosts.h"

#include "platform/NetworkUpdater.h"

#include <QCoreApplication>
#include <QPointer>

namespace TestNet {

namespace {

QPointer<TestHttpServer>& Server()
{
    static QPointer<TestHttpServer> server;
    return server;
}

} // namespace

TestHttpServer* ProductHostsServer()
{
    return Server().data();
}

} // namespace TestNet

namespace Platform {

NetworkUpdater::Endpoints NetworkUpdater::Endpoints::Product()
{
    QPointer<TestNet::TestHttpServer>& server = TestNet::Server();
    if (!server) {
        // A child of the application object, should the test not delete it first.
        server = new TestNet::TestHttpServer(true, QCoreApplication::instance());
        if (!server->listen())
            qFatal("The local product hosts do not listen");
    }
    const QString origin = server->origin();
    return {origin, origin, origin, origin};
}

} // namespace Platform
