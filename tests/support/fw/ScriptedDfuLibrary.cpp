#include "support/fw/ScriptedDfuLibrary.h"

#include <QFile>

namespace TestSupport {

class ScriptedDfuLibrary::Handle final : public Platform::IKestrinDfuLibrary {
public:
    explicit Handle(ScriptedDfuLibrary& script)
        : m_script(script)
    {
    }
    ~Handle() override { m_script.close(); }

    bool isAvailable() const override
    {
        std::lock_guard<std::mutex> lock(m_script.m_mutex);
        return m_script.m_available;
    }
    int initialize(uint16_t vid, uint16_t pid) override
    {
        m_script.record(
            QStringLiteral("initialize 0x%1:0x%2").arg(vid, 4, 16, QLatin1Char('0')).arg(pid, 4, 16, QLatin1Char('0')));
        int result;
        {
            std::lock_guard<std::mutex> lock(m_script.m_mutex);
            result = m_script.m_initializeResult;
        }
        if (result == 1)
            m_script.open();
        return result;
    }
    void setTargetDevice(uint8_t recipient) override
    {
        m_script.record(QStringLiteral("setTargetDevice %1").arg(recipient));
    }
    void registerUpdateResultCallback(ResultCallback callback) override
    {
        m_script.record(QStringLiteral("registerUpdateResultCallback"));
        std::lock_guard<std::mutex> lock(m_script.m_mutex);
        m_script.m_callback = callback;
    }
    void requestDfuInfo() override { m_script.record(QStringLiteral("requestDfuInfo")); }
    void setDfuMode(int mode) override { m_script.record(QStringLiteral("setDfuMode %1").arg(mode)); }
    void setBatteryLevel(int level) override { m_script.record(QStringLiteral("setBatteryLevel %1").arg(level)); }
    void setDfuAgentFilepath(const char* path) override
    {
        const QString text = QString::fromUtf8(path);
        m_script.record(QStringLiteral("setDfuAgentFilepath ") + text);
        QFile file(text);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
        std::lock_guard<std::mutex> lock(m_script.m_mutex);
        m_script.m_imagePath = text;
        m_script.m_imageSeen = bytes;
    }
    void setPingTimerFlag(int flag) override { m_script.record(QStringLiteral("setPingTimerFlag %1").arg(flag)); }
    void startDataTransfer() override
    {
        m_script.record(QStringLiteral("startDataTransfer"));
        QList<DfuEvent> events;
        {
            std::lock_guard<std::mutex> lock(m_script.m_mutex);
            events = m_script.m_transferScript;
        }
        m_script.enqueue(events);
    }
    void applyNewFirmware(int value) override
    {
        m_script.record(QStringLiteral("applyNewFirmware %1").arg(value));
        QList<DfuEvent> events;
        {
            std::lock_guard<std::mutex> lock(m_script.m_mutex);
            events = m_script.m_applyScript;
        }
        m_script.enqueue(events);
    }
    void close() override
    {
        m_script.record(QStringLiteral("close"));
        m_script.close();
    }

private:
    ScriptedDfuLibrary& m_script;
};

ScriptedDfuLibrary::ScriptedDfuLibrary() = default;

ScriptedDfuLibrary::~ScriptedDfuLibrary()
{
    close();
}

std::unique_ptr<Platform::IKestrinDfuLibrary> ScriptedDfuLibrary::library()
{
    return std::make_unique<Handle>(*this);
}

void ScriptedDfuLibrary::setAvailable(bool available)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_available = available;
}

void ScriptedDfuLibrary::setInitializeResult(int result)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initializeResult = result;
}

void ScriptedDfuLibrary::setTransferScript(QList<DfuEvent> events)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_transferScript = std::move(events);
}

void ScriptedDfuLibrary::setApplyScript(QList<DfuEvent> events)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_applyScript = std::move(events);
}

void ScriptedDfuLibrary::post(const DfuEvent& event)
{
    enqueue({event});
}

QStringList ScriptedDfuLibrary::calls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

QString ScriptedDfuLibrary::imagePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_imagePath;
}

QByteArray ScriptedDfuLibrary::imageSeen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_imageSeen;
}

bool ScriptedDfuLibrary::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

int ScriptedDfuLibrary::callbacksRun() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbacksRun;
}

bool ScriptedDfuLibrary::callbacksOnLibraryThread() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onOwnThread;
}

void ScriptedDfuLibrary::record(const QString& call)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls << call;
}

void ScriptedDfuLibrary::open()
{
    close(); // a library opened twice starts afresh
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
    m_open = true;
    m_queue.clear();
    m_thread = std::thread([this] { run(); });
    m_threadId = m_thread.get_id();
}

void ScriptedDfuLibrary::close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_open = false;
        m_queue.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void ScriptedDfuLibrary::enqueue(const QList<DfuEvent>& events)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_open)
            return;
        for (const DfuEvent& event : events)
            m_queue.push_back(event);
    }
    m_wake.notify_all();
}

void ScriptedDfuLibrary::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            return;
        const DfuEvent event = m_queue.front();
        m_queue.pop_front();
        if (event.delayMs > 0 &&
            m_wake.wait_for(lock, std::chrono::milliseconds(event.delayMs), [this] { return m_stop; }))
            return;
        const auto callback = m_callback;
        if (!callback)
            continue;
        ++m_callbacksRun;
        if (std::this_thread::get_id() != m_threadId)
            m_onOwnThread = false;
        lock.unlock();
        callback(event.type, event.msgId, event.msg.constData());
        lock.lock();
    }
}

} // namespace TestSupport
