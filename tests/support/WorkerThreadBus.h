#pragma once

#include "platform/IHwBus.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>

namespace TestSupport {

// A device bus driven by the test, for any number of devices at a time. Like the real bus it
// announces devices from a worker thread of its own, so App receives them through queued
// connections; its first probe finds nothing.
class WorkerThreadBus final : public Platform::IHwBus {
public:
    WorkerThreadBus()
        : m_context(new QObject)
    {
        m_context->moveToThread(&m_worker);
        m_worker.start();
    }
    ~WorkerThreadBus() override
    {
        m_worker.quit();
        m_worker.wait();
        delete m_context;
    }

    void runBus() override
    {
        ++runs;
        emit firstProbeDone();
    }
    void stopBus(bool closeDevices) override { emit busStopped(closeDevices); }
    void tryPairKestrinDongle() override { }

    void arrive(const Devices::SharedDeviceImpl& device)
    {
        QMetaObject::invokeMethod(
            m_context, [this, device] { emit deviceArrived(device); }, Qt::BlockingQueuedConnection);
    }
    void announceSetUp(DeviceType type)
    {
        QMetaObject::invokeMethod(
            m_context, [this, type] { emit deviceSetUpStarted(type); }, Qt::BlockingQueuedConnection);
    }
    void remove(const Devices::SharedDeviceImpl& device)
    {
        QMetaObject::invokeMethod(
            m_context, [this, device] { emit deviceRemoved(device); }, Qt::BlockingQueuedConnection);
    }

    std::atomic<int> runs{0};

private:
    QThread m_worker;
    QObject* m_context;
};

} // namespace TestSupport
