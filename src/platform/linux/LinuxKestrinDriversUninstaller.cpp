#include "platform/IKestrinDriversUninstaller.h"

#include "app/core/GlobalLogger.h"

namespace Platform {

namespace {

// The headset and its dongle are driven here by the system's generic HID driver; there is no
// driver of the family to remove and no elevated run to start. A removal asked for anyway runs
// and fails at once, saying why, rather than pretend that something was removed.
class UnavailableKestrinDriversUninstaller final : public IKestrinDriversUninstaller {
public:
    Status getStatus() const override { return m_status; }

    void start() override
    {
        if (m_status == Running)
            return;
        GlobalLogger::Instance()->message(QtDebugMsg, "Uninstalling Kestrin drivers...");
        setStatus(Running);
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "Driver removal is not available on this system; nothing was removed.");
        setStatus(Failed);
    }

private:
    void setStatus(Status status)
    {
        if (status == m_status)
            return;
        m_status = status;
        emit sigStatusChanged();
    }

    Status m_status = Idle;
};

} // namespace

bool IKestrinDriversUninstaller::IsSupported()
{
    return false;
}

std::unique_ptr<IKestrinDriversUninstaller> CreateKestrinDriversUninstaller()
{
    return std::make_unique<UnavailableKestrinDriversUninstaller>();
}

} // namespace Platform
