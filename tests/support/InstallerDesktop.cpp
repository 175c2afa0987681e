// Linked into a test program that runs the whole application on a system where the application's
// installer could run (as on the maker's platform): the application then offers its updates, and
// an installer that it starts is only recorded (InstallerDesktop.h), never run.

#include "support/InstallerDesktop.h"

#include "platform/AppInstaller.h"

namespace TestSupport {

QStringList& StartedInstallers()
{
    static QStringList started;
    return started;
}

} // namespace TestSupport

namespace Platform {

namespace {

class RecordingAppInstaller final : public IAppInstaller {
public:
    QString unavailableReason() const override { return QString(); }
    bool start(const QString& path) override
    {
        TestSupport::StartedInstallers() << path;
        return true;
    }
};

} // namespace

std::unique_ptr<IAppInstaller> CreateAppInstaller()
{
    return std::make_unique<RecordingAppInstaller>();
}

} // namespace Platform
