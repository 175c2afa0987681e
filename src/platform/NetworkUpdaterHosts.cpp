// The maker's storage hosts, the only hosts the application ever asks for updates and news.
//
// This file holds nothing else on purpose: test executables that run the whole application link
// a definition of their own ahead of this library (tests/support/net/LocalUpdateHosts.cpp), so
// that they never reach off the machine, while the product has no way to name other hosts.

#include "platform/NetworkUpdater.h"

namespace Platform {

namespace {

// Plain character data, so that the names can be found in the built program.
const char c_host_software[] = "https://downloads.velmor.com";
const char c_host_kestrin[] = "https://kestrin-fw.velmor.com";
const char c_host_kestrin_2[] = "https://kestrin2-fw.velmor.com";
const char c_host_solvarine[] = "https://solvarine-fw.velmor.com";

} // namespace

NetworkUpdater::Endpoints NetworkUpdater::Endpoints::Product()
{
    return {QString::fromLatin1(c_host_software), QString::fromLatin1(c_host_kestrin),
            QString::fromLatin1(c_host_kestrin_2), QString::fromLatin1(c_host_solvarine)};
}

} // namespace Platform
