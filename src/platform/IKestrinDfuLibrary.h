#pragma once

#include <cstdint>
#include <memory>

namespace Platform {

// The headset chip's firmware-update library, as the firmware updater drives it. One update calls,
// in this order: initialize, setTargetDevice, registerUpdateResultCallback, requestDfuInfo,
// setDfuMode(0), setBatteryLevel(20), setDfuAgentFilepath, setPingTimerFlag(0), startDataTransfer;
// applyNewFirmware(20) from inside the callback once the image is ready to apply; close at the end
// of every update that got as far as initialize (also when it failed).
//
// The library reports through the registered callback, always on a thread of its own, never on the
// caller's. The callback may call applyNewFirmware on that thread. After close() returns, the
// callback is not called any more.
class IKestrinDfuLibrary {
public:
    // (type, message id, text); see ResultType and the message ids below.
    using ResultCallback = void (*)(uint32_t type, uint32_t msgId, const char* msg);

    // What the callback's first argument tells.
    enum ResultType : uint32_t {
        ResultDone = 1,         // the update is complete
        ResultTimeout = 2,      // the device did not answer in time
        ResultLinkLost = 3,     // the link to the device is gone
        ResultFail = 4,         // the device refused a step
        ResultReadyToApply = 5, // the image is transferred; call applyNewFirmware
        ResultDfuError = 8,     // the update itself failed; msg tells why
        ResultInfo = 9,         // progress (MsgIdProgress) and link state (MsgIdLinkState)
    };
    static constexpr uint32_t MsgIdLinkState = 0;           // msg[0] == 1: the headset link dropped
    static constexpr uint32_t MsgIdLinkDisconnected = 5002; // with ResultTimeout/ResultFail
    static constexpr uint32_t MsgIdProgress = 10000;        // msg: the percentage as decimal text

    virtual ~IKestrinDfuLibrary() = default;

    // False where the library does not exist; nothing else may then be called.
    virtual bool isAvailable() const = 0;

    // Opens the connection to the device; 1 when open, any other value is a failure.
    virtual int initialize(uint16_t vid, uint16_t pid) = 0;
    // 0: the connected device itself; 1: the headset behind the connected dongle.
    virtual void setTargetDevice(uint8_t recipient) = 0;
    virtual void registerUpdateResultCallback(ResultCallback callback) = 0;
    virtual void requestDfuInfo() = 0;
    virtual void setDfuMode(int mode) = 0;
    virtual void setBatteryLevel(int level) = 0;
    // The image to transfer; an 8-bit, zero-terminated path that the library reads itself.
    virtual void setDfuAgentFilepath(const char* path) = 0;
    virtual void setPingTimerFlag(int flag) = 0;
    // Starts the transfer; results come through the callback.
    virtual void startDataTransfer() = 0;
    virtual void applyNewFirmware(int value) = 0;
    // Ends the connection.
    virtual void close() = 0;
};

// The library of the platform the program runs on.
std::unique_ptr<IKestrinDfuLibrary> CreateKestrinDfuLibrary();

} // namespace Platform
