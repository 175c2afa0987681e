#pragma once

#include "core/Preferences.h"
#include "ui_models/IAppServices.h"

#include <QList>

// The application object as the UI models see it, with real preferences (in the test's private
// data folder) and no bus or network updater.
class FakeAppServices final : public UIModels::IAppServices {
public:
    FakeAppServices()
        : m_preferences(new Preferences(nullptr))
    {
    }
    ~FakeAppServices() override { delete m_preferences; }

    Preferences* getPreferences() const override { return m_preferences; }
    Platform::NetworkUpdater* getNetworkUpdater() const override { return nullptr; }
    Platform::IHwBus* getHwBus() const override { return nullptr; }
    void selectDevice(int type) override { selected.append(type); }
    void beginActivity() override { ++activities; }
    void endActivity() override { --activities; }
    bool areAnimationsEnabled() const override { return true; }

    QList<int> selected;
    int activities = 0;

private:
    Preferences* m_preferences;
};
