#include "platform/IHwBus.h"

#include "app/core/GlobalLogger.h"

namespace Platform {

namespace {

class NoDeviceHwBus final : public IHwBus {
public:
    void runBus() override
    {
        if (m_running)
            return;
        m_running = true;
        GlobalLogger::Instance()->message(QtInfoMsg, "USB device discovery is not available in this build.");
    }
    void stopBus(bool) override { m_running = false; }
    void tryPairKestrinDongle() override {}

private:
    bool m_running = false;
};

} // namespace

std::unique_ptr<IHwBus> CreateHardwareBus()
{
    return std::make_unique<NoDeviceHwBus>();
}

} // namespace Platform
