#include "platform/KestrinDriversUninstaller.h"

#include "core/GlobalLogger.h"

#include <QProcess>

namespace Platform {

namespace {

// There is no elevation to ask for here: the removal run is an ordinary child process of the
// program. It finds no driver of the family to remove (the system's generic HID driver serves the
// headset) and says so with its failure code, so the flow ends as failed, never as done.
class ChildDriversRemovalProcess final : public IDriversRemovalProcess {
public:
    ~ChildDriversRemovalProcess() override
    {
        // A run that outlived the wait is not left behind.
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(-1);
        }
    }

    bool start(const QString& program, const QStringList& arguments) override
    {
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(program, arguments);
        if (m_process.waitForStarted(-1))
            return true;
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot start %s: %s", qUtf8Printable(program),
                                          qUtf8Printable(m_process.errorString()));
        return false;
    }

    bool waitForEnd(int timeoutMs) override { return m_process.waitForFinished(timeoutMs); }

    bool exitCode(int& code) override
    {
        if (m_process.exitStatus() != QProcess::NormalExit)
            return false;
        code = m_process.exitCode();
        return true;
    }

private:
    QProcess m_process;
};

} // namespace

std::unique_ptr<IDriversRemovalProcess> CreateDriversRemovalProcess()
{
    return std::make_unique<ChildDriversRemovalProcess>();
}

// The flow runs here as it does elsewhere, but there are no drivers of the family to remove, so
// the feature is not offered.
bool IKestrinDriversUninstaller::IsSupported()
{
    return false;
}

std::unique_ptr<IKestrinDriversUninstaller> CreateKestrinDriversUninstaller()
{
    return std::make_unique<KestrinDriversUninstaller>();
}

} // namespace Platform
