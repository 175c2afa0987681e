#include "device_models/SolvarineDeviceModel.h"

#include "devices/DeviceProxy.h"
#include "devices/ISolvarineDeviceMain.h"

namespace DeviceModels {

SolvarineDeviceModel::SolvarineDeviceModel(const Devices::DeviceProxy& proxy, QObject* parent)
    : Devices::DeviceSignals(parent)
    , m_proxy(proxy)
    , m_device(proxy.getDevice())
    , m_main(m_device ? m_device->getSolvarineDevice() : nullptr)
{
    connect(&proxy, &Devices::DeviceProxy::deviceReady, this, &SolvarineDeviceModel::onDeviceReady);
    connect(&proxy, &Devices::DeviceProxy::deviceLost, this, &SolvarineDeviceModel::onDeviceLost);
}

SolvarineDeviceModel::~SolvarineDeviceModel() = default;

void SolvarineDeviceModel::loadData()
{
    if (m_main)
        m_main->loadFwVersion(m_fwVersion);
}

void SolvarineDeviceModel::onDeviceReady()
{
    m_device = m_proxy.getDevice();
    m_main = m_device ? m_device->getSolvarineDevice() : nullptr;
    if (!m_main) {
        // A headset, the simulated headset or the null device: nothing of ours.
        m_device.reset();
        return;
    }
    m_hw = m_device->getCategory() == Devices::DeviceCategory::Hardware;
    loadData();
    emit deviceReady();
}

void SolvarineDeviceModel::onDeviceLost()
{
    emit deviceLost();
}

} // namespace DeviceModels
