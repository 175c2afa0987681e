#pragma once

// Drives the stand-in compositing manager (FakeCompositor.cpp) from a test running on a virtual X
// server. Header-only; the test defines VELMOR_FAKE_COMPOSITOR as the helper's path.

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace TestSupport {

class FakeCompositor {
public:
    FakeCompositor() = default;
    FakeCompositor(const FakeCompositor&) = delete;
    FakeCompositor& operator=(const FakeCompositor&) = delete;
    ~FakeCompositor()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(10000))
                m_process.kill();
        }
    }

    // Starts the helper; true once it owns the compositor's selection.
    bool start(const QString& program)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {});
        return m_process.waitForStarted(10000) && answered("owned");
    }

    // Gives the selection up; true once the server has no owner for it.
    bool release() { return command("release\n", "released"); }
    // Destroys the owning window; true once the server has dropped the ownership.
    bool destroyWindow() { return command("destroy\n", "destroyed"); }
    // Ends the helper, which closes its connection.
    bool quit()
    {
        m_process.write("quit\n");
        return m_process.waitForFinished(10000) && m_process.exitCode() == 0;
    }

private:
    bool command(const QByteArray& line, const QByteArray& answer)
    {
        return m_process.write(line) == line.size() && answered(answer);
    }

    bool answered(const QByteArray& answer)
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000))
                return false;
        }
        return m_process.readLine().trimmed() == answer;
    }

    QProcess m_process;
};

} // namespace TestSupport
