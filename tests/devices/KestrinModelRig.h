#pragma once

// The headset device model over the real headset implementation over one emulated headset. With
// manual timers the model's worker runs only when the test advances virtual time.

#include "KestrinRig.h"

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/KestrinDeviceImpl.h"
#include "support/devices/ManualWorkerTimers.h"

#include <QCoreApplication>

#include <functional>
#include <memory>

struct KestrinModelRig {
    // `preset` sets the headset's state before the implementation reads it while being built.
    explicit KestrinModelRig(uint16_t pid, bool manualTimers = true,
                             const std::function<void(HidEmu::Kestrin::State&)>& preset = {})
        : rig(pid)
    {
        if (preset)
            preset(*rig.state);
        device = rig.build<Devices::KestrinDeviceImpl>();
        if (manualTimers) {
            auto manual = std::make_unique<TestSupport::ManualWorkerTimers>();
            timers = manual.get();
            model = std::make_unique<DeviceModels::KestrinDeviceModel>(&proxy, std::move(manual));
        } else {
            model = std::make_unique<DeviceModels::KestrinDeviceModel>(&proxy);
        }
    }

    ~KestrinModelRig()
    {
        proxy.resetImpl();
        model.reset();
    }

    // Makes the headset current; the request log starts empty afterwards.
    bool connect()
    {
        if (!device->isValid() || !proxy.setDevice(device))
            return false;
        // The first load's reads run on the worker; with manual timers they are done here.
        if (timers) {
            timers->advance(0);
            QCoreApplication::sendPostedEvents();
        }
        rig.headset->clearLog();
        return true;
    }

    KestrinRig rig;
    std::shared_ptr<Devices::KestrinDeviceImpl> device;
    Devices::DeviceProxy proxy;
    TestSupport::ManualWorkerTimers* timers = nullptr;
    std::unique_ptr<DeviceModels::KestrinDeviceModel> model;
};
