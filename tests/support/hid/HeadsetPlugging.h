#pragma once

// Plugging headsets and dongles of the family in and out of the emulated USB bus, each with the
// family's full command set (commands/KestrinCommandSet.h; link velmor_hid_kestrin_commands).

#include "HidEmulator.h"
#include "commands/KestrinCommandSet.h"

#include <memory>

namespace HidEmu {

// A headset or dongle that answers every command of its type, plugged in.
inline std::shared_ptr<Headset> PlugKestrin(uint16_t productId, Kestrin::State** state = nullptr)
{
    auto device = Plug(productId);
    Kestrin::State& installed = Kestrin::Install(*device);
    if (state)
        *state = &installed;
    return device;
}

// A dongle whose headset is absent (switched off or not paired): the dongle answers requests
// addressed to itself (its firmware version, pairing), while requests relayed to the headset go
// unanswered. The host cannot initialise it as a full headset.
inline std::shared_ptr<Headset> PlugDongleWithoutHeadset(uint16_t productId, Kestrin::State** state = nullptr)
{
    auto device = PlugKestrin(productId, state);
    device->setHeadsetLinked(false);
    return device;
}

// Pulls the device out: it leaves the enumeration and every open handle to it fails from now on.
inline void Unplug(const std::shared_ptr<Headset>& device)
{
    Bus::instance().unplug(device);
}

} // namespace HidEmu
