#include "platform/IKestrinDfuLibrary.h"

#include "core/GlobalLogger.h"

namespace Platform {

namespace {

// The chip vendor ships its update library for Windows only. Here every call says so: the
// connection never opens, so an update ends as failed and nothing is written to a device.
class UnavailableKestrinDfuLibrary final : public IKestrinDfuLibrary {
public:
    bool isAvailable() const override { return false; }

    int initialize(uint16_t vid, uint16_t pid) override
    {
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "The firmware update library is not available on this system "
                                          "(0x%04X:0x%04X not opened).",
                                          unsigned(vid), unsigned(pid));
        return 0;
    }
    void setTargetDevice(uint8_t) override { }
    void registerUpdateResultCallback(ResultCallback) override { }
    void requestDfuInfo() override { }
    void setDfuMode(int) override { }
    void setBatteryLevel(int) override { }
    void setDfuAgentFilepath(const char*) override { }
    void setPingTimerFlag(int) override { }
    void startDataTransfer() override { }
    void applyNewFirmware(int) override { }
    void close() override { }
};

} // namespace

std::unique_ptr<IKestrinDfuLibrary> CreateKestrinDfuLibrary()
{
    return std::make_unique<UnavailableKestrinDfuLibrary>();
}

} // namespace Platform
