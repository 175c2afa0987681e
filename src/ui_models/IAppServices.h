#pragma once

class Preferences;

namespace Platform {
class IHwBus;
class NetworkUpdater;
} // namespace Platform

namespace UIModels {

// What the UI models and mediators use of the application object. App implements it; the UI
// layer sits below the application layer and sees App only through this interface, which also
// lets the tests drive the models with a small fake.
class IAppServices {
public:
    virtual ~IAppServices() = default;

    virtual Preferences* getPreferences() const = 0;
    virtual Platform::NetworkUpdater* getNetworkUpdater() const = 0;
    virtual Platform::IHwBus* getHwBus() const = 0;

    // 1: the headset family, 2: the serial-port device; makes the first connected device of
    // that kind current, else its simulated counterpart.
    virtual void selectDevice(int type) = 0;

    // Counted keep-awake request for long operations (firmware update, calibration, OSC output).
    virtual void beginActivity() = 0;
    virtual void endActivity() = 0;

    virtual bool areAnimationsEnabled() const = 0;
};

} // namespace UIModels
