#include "platform/AppInstaller.h"

#include "core/GlobalLogger.h"

#include <QDesktopServices>
#include <QUrl>

namespace Platform {

namespace {

#ifdef Q_OS_WIN
// The system opens the installer as it opens any program the user double-clicks.
class ShellAppInstaller final : public IAppInstaller {
public:
    QString unavailableReason() const override { return QString(); }
    bool start(const QString& path) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};
#else
// Nothing here can run a Windows installer: downloading it would only leave a file that installs
// nothing.
class UnavailableAppInstaller final : public IAppInstaller {
public:
    QString unavailableReason() const override
    {
        return QStringLiteral("the maker publishes the application only as a Windows installer, which cannot be "
                              "installed on this system");
    }
    bool start(const QString& path) override
    {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot start the installer %s: %s", qUtf8Printable(path),
                                          qUtf8Printable(unavailableReason()));
        return false;
    }
};
#endif

} // namespace

std::unique_ptr<IAppInstaller> CreateAppInstaller()
{
#ifdef Q_OS_WIN
    return std::make_unique<ShellAppInstaller>();
#else
    return std::make_unique<UnavailableAppInstaller>();
#endif
}

} // namespace Platform
