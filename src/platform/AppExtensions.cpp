#include "platform/AppExtensions.h"

#include "core/GlobalLogger.h"

#include <QElapsedTimer>
#include <QSharedMemory>
#include <QThread>
#include <QTimer>

#include <unistd.h>

namespace Platform {

namespace {

constexpr qint32 NothingPending = 0;
constexpr qint32 ShowWindow = 1;

} // namespace

QString AppExtensions::ExtensionsKeyFor(uint userId)
{
    return QStringLiteral("VELMOR_QORN_EXTENSIONS_MEM_8100bc42-a4ab-4d2c-b373-725b56e5adb3_%1").arg(userId);
}

const QString& AppExtensions::ExtensionsKey()
{
    static const QString key = ExtensionsKeyFor(::getuid());
    return key;
}

AppExtensions::AppExtensions(const QString& key, QObject* parent)
    : QObject(parent)
    , m_memory(new QSharedMemory(key, this))
    , m_timer(new QTimer(this))
{
    if (!m_memory->attach()) {
        if (m_memory->create(sizeof(qint32))) {
            if (m_memory->lock()) {
                *accessMemoryData() = NothingPending;
                m_memory->unlock();
            }
        } else if (!m_memory->attach()) {
            // Another start may have created it in between; anything else leaves no channel,
            // and the application runs on without the hand-over.
            GlobalLogger::Instance()->message(QtWarningMsg, "Cannot open the show-window channel: %s",
                                              qUtf8Printable(m_memory->errorString()));
        }
    }
    if (m_memory->isAttached() && !accessMemoryData()) {
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "The show-window channel is too small (%lld bytes); not using it.",
                                          static_cast<long long>(m_memory->size()));
        m_memory->detach();
    }
    m_timer->setInterval(PollIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &AppExtensions::readMemory);
}

AppExtensions::~AppExtensions()
{
    m_timer->stop();
}

bool AppExtensions::showRunningApp()
{
    if (!accessMemoryData() || !m_memory->lock()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot ask the running instance to show its window: %s",
                                          qUtf8Printable(m_memory->errorString()));
        return false;
    }
    *accessMemoryData() = ShowWindow;
    m_memory->unlock();
    return true;
}

bool AppExtensions::waitForRequestTaken(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (true) {
        if (!accessMemoryData() || !m_memory->lock())
            return false;
        const bool taken = *accessMemoryData() != ShowWindow;
        if (!taken && waited.elapsed() >= timeoutMs)
            *accessMemoryData() = NothingPending;
        m_memory->unlock();
        if (taken)
            return true;
        if (waited.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(PollIntervalMs / 5);
    }
}

void AppExtensions::listen(bool on)
{
    if (on) {
        if (accessMemoryData() && !m_timer->isActive())
            m_timer->start();
    } else if (m_timer->isActive()) {
        m_timer->stop();
    }
}

bool AppExtensions::isListening() const
{
    return m_timer->isActive();
}

void AppExtensions::readMemory()
{
    qint32* flag = accessMemoryData();
    if (!flag || !m_memory->lock())
        return;
    const bool requested = *flag == ShowWindow;
    if (requested)
        *flag = NothingPending;
    m_memory->unlock();
    // Announced outside the lock: a slot may take its time without blocking other starts.
    if (requested) {
        GlobalLogger::Instance()->message(QtInfoMsg, "Another start asked to show the window.");
        emit sigOpenWindow();
    }
}

qint32* AppExtensions::accessMemoryData()
{
    if (!m_memory->isAttached() || m_memory->size() < static_cast<qsizetype>(sizeof(qint32)))
        return nullptr;
    return static_cast<qint32*>(m_memory->data());
}

} // namespace Platform
