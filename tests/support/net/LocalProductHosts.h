#pragma once

#include "TestHttpServer.h"

namespace TestNet {

// Linked into a test program that runs the whole application (instead of the discard-port hosts
// of LocalUpdateHosts.cpp): every host of the application is one local HTTPS server, made when
// the application's network updater asks for its hosts, so while the application object is being
// built. The test serves the manifests and the news there and trusts the server's certificate in
// the application's network updater before its first request.
//
// The server of this run, or null before the application object was made or once the test has
// deleted it (it must go before the application object does).
TestHttpServer* ProductHostsServer();

} // namespace TestNet
