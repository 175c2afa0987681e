#pragma once

// One emulated headset on the emulated USB bus, opened through the real HID client: the fixture
// of the headset tests. The client is the test's own instance, so nothing leaks between tests.

#include "HidEmulator.h"
#include "commands/KestrinCommandSet.h"

#include "io/KestrinHidApiClient.h"

#include <QStringList>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

struct KestrinRig {
    explicit KestrinRig(uint16_t productId, bool realPacing = false)
    {
        HidEmu::Bus::instance().reset();
        headset = HidEmu::Plug(productId);
        state = &HidEmu::Kestrin::Install(*headset);
        client = std::make_unique<Platform::KestrinHidApiClient>();
        // The pacing only spaces the reads out in time; the transport's patience counts reads,
        // so the tests see the same exchanges without it.
        if (!realPacing)
            client->setReadPacing(0, 0);
        opened = client->openDevice() != nullptr;
    }

    ~KestrinRig()
    {
        client->closeDevice();
        HidEmu::Bus::instance().reset();
    }

    KestrinRig(const KestrinRig&) = delete;
    KestrinRig& operator=(const KestrinRig&) = delete;

    bool isDongle() { return client->isOpenedDongle(); }

    // A headset implementation (full or firmware-only) built the way the device bus builds it,
    // from what the client reports of the opened device.
    template <typename Device>
    std::shared_ptr<Device> build()
    {
        uint16_t vid = 0;
        uint16_t pid = 0;
        client->getOpenedVidPid(vid, pid);
        return std::make_shared<Device>(*client, vid, pid, client->getOpenedDeviceType(), client->getOpenedType(),
                                        client->isOpenedDongle());
    }

    std::vector<std::string> log() const { return HidEmu::Kestrin::DecodedLog(*headset); }

    // The decoded requests since the last clearLog().
    std::vector<std::string> takeLog()
    {
        auto lines = log();
        headset->clearLog();
        return lines;
    }

    size_t requestCount() const { return headset->requests().size(); }

    std::shared_ptr<HidEmu::Headset> headset;
    HidEmu::Kestrin::State* state = nullptr;
    std::unique_ptr<Platform::KestrinHidApiClient> client;
    bool opened = false;
};

inline QStringList ToStringList(const std::vector<std::string>& lines)
{
    QStringList out;
    for (const auto& line : lines)
        out << QString::fromStdString(line);
    return out;
}
