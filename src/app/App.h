#pragma once

#include "core/DeviceType.h"
#include "devices/DeviceProxy.h"
#include "ui_models/IAppServices.h"

#include <QApplication>

#include <future>
#include <memory>
#include <vector>

class QQuickWindow;
class QThread;
class QTimer;

namespace Platform {
class AppExtensions;
class IHwBus;
class NetworkUpdater;
} // namespace Platform

namespace Theme {
class ITheme;
}

namespace UIMediators {
class UIAppMediator;
class UINotificationsMediator;
} // namespace UIMediators

namespace UIModels {
class IUIModel;
class UIKestrinModel;
class UISolvarineModel;
class UIStubModel;
} // namespace UIModels

// The application object, the composition root and the QML context object "App": it builds and
// owns every long-lived object, keeps the list of known devices (the simulated headset first,
// then the hardware devices in order of arrival), decides which device is current and which UI
// model the window shows, and runs the six-hourly update checks.
//
// A QApplication (not only a QGuiApplication): the tray icon of Qt.labs.platform needs Qt Widgets
// on Linux. Its name and version reach QML as App.applicationName and App.applicationVersion.
class App : public QApplication, public UIModels::IAppServices {
    Q_OBJECT
    Q_PROPERTY(QObject* theme READ theme NOTIFY themeChanged)
    Q_PROPERTY(QObject* uiModel READ uiModel NOTIFY uiModelChanged)
    Q_PROPERTY(QObject* appMediator READ getAppMediator CONSTANT)
    Q_PROPERTY(QObject* notificationsMediator READ getNotificationsMediator CONSTANT)
    Q_PROPERTY(bool animationsEnabled READ animationsEnabled CONSTANT)
    Q_PROPERTY(int deviceId READ getDeviceId NOTIFY deviceIdChanged)
    Q_PROPERTY(bool deviceSearchDone READ isDeviceSearchDone NOTIFY deviceSearchDoneChanged)

public:
    // `argc` must outlive the object, as for every QApplication.
    App(int& argc, char** argv);
    // With a device bus of the caller's (tests).
    App(int& argc, char** argv, std::unique_ptr<Platform::IHwBus> bus);
    ~App() override;

    // The theme every screen draws with; handed out once the application fonts it names are
    // registered.
    QObject* theme() const;
    // The UI model of the current device; null until the first choice.
    QObject* uiModel() const;
    QObject* getAppMediator() const;
    QObject* getNotificationsMediator() const;
    bool animationsEnabled() const { return areAnimationsEnabled(); }
    // Instance id of the device last made current through App, truncated; -1 before the first.
    int getDeviceId() const { return m_deviceId; }
    // False until the bus's first probe has finished and the device it found, if any, has been
    // taken in: until then the window must not claim that no device is connected.
    bool isDeviceSearchDone() const { return m_deviceSearchDone; }

    // Once `window` has drawn its first frame, registers the application fonts on a thread of
    // their own and runs the app-update and news checks (those also a few seconds after start
    // when no frame comes): the fonts and the TLS back end the checks load cost the first frame
    // several milliseconds, and that frame holds no text. A font family read before then
    // registers the fonts at once.
    void deferUntilFirstFrame(QQuickWindow* window);

    // UIModels::IAppServices
    Preferences* getPreferences() const override { return m_preferences; }
    Platform::NetworkUpdater* getNetworkUpdater() const override { return m_networkUpdater; }
    Platform::IHwBus* getHwBus() const override { return m_hwBus.get(); }
    // 1: the headset family, 2: the serial-port device; any other number is ignored. Makes the
    // first connected device of that kind current, else its simulated counterpart.
    Q_INVOKABLE void selectDevice(int type) override;
    void beginActivity() override;
    void endActivity() override;
    bool areAnimationsEnabled() const override;

    // While allowed, a removed current device is replaced by the simulated headset, which stays
    // current (a firmware update, a factory reset, a driver reinstall, a pairing).
    Q_INVOKABLE void setSimulationAllowed(bool allowed);
    Q_INVOKABLE void setCursor(int cursor);
    Q_INVOKABLE void restoreCursor();
    // The whole file decoded as UTF-8; empty when it cannot be read.
    Q_INVOKABLE QString readTextFile(const QString& path) const;
    // Opens the platform's permission settings where a platform needs them; none here.
    Q_INVOKABLE void openPermissions() { }

    // Makes `device` current; true when the proxy took it (also when it already was current).
    bool setDevice(const std::shared_ptr<Devices::IDeviceImpl>& device);

    // For tests and diagnostics.
    const Devices::DeviceProxy& deviceProxy() const { return m_deviceProxy; }
    const std::vector<std::shared_ptr<Devices::IDeviceImpl>>& devices() const { return m_devices; }
    UIModels::IUIModel* stubModel() const;
    UIModels::UIKestrinModel* kestrinModel() const { return m_kestrinModel; }
    UIModels::IUIModel* solvarineModel() const;

signals:
    // Another start of the program asked this one to show its window.
    void showAppWindow();
    // Declared for the window; nothing on this platform emits them.
    void quitApp();
    void requestInputMonitoring();
    void themeChanged();
    void uiModelChanged();
    void deviceIdChanged();
    void deviceSearchDoneChanged();

private slots:
    void onModelReady();
    void onDeviceReady();
    void onDeviceLost();
    void onUpdatesTimeout();
    void onDeviceArrival(const Devices::SharedDeviceImpl& device);
    void onDeviceRemoval(const Devices::SharedDeviceImpl& device);
    void onNotPermitted() { }
    void runBus();
    void onFirstProbeDone();
    void runStartupChecks();
    void warmUpTlsThenCheck();
    void registerFontsInBackground();

private:
    void waitForFonts();
    void initHwBus();
    void chooseUiModel(DeviceType type);
    void setSimulation(DeviceType type);
    void trySetHwDevice(DeviceType type);
    void checkFirmware(DeviceType type);

    Preferences* m_preferences;
    std::unique_ptr<Platform::AppExtensions> m_extensions;
    Platform::NetworkUpdater* m_networkUpdater;
    UIMediators::UIAppMediator* m_appMediator;
    UIMediators::UINotificationsMediator* m_notificationsMediator;
    Devices::DeviceProxy m_deviceProxy;
    Theme::ITheme* m_theme; // child
    UIModels::UIStubModel* m_stubModel;
    UIModels::UIKestrinModel* m_kestrinModel;
    UIModels::UISolvarineModel* m_solvarineModel;
    UIModels::IUIModel* m_currentUiModel = nullptr; // not owned
    QTimer* m_updatesTimer;
    std::vector<std::shared_ptr<Devices::IDeviceImpl>> m_devices;
    std::unique_ptr<Platform::IHwBus> m_hwBus;
    size_t m_simulatedCount = 0;
    int m_deviceId = -1;
    bool m_simulationAllowed = false;
    bool m_deviceSearchDone = false;
    bool m_startupChecksDone = false;
    // The registration of the application fonts, on a thread of its own after the first frame.
    std::future<int> m_fontsRegistered;
    bool m_fontsStarted = false;
    // Loads the TLS back end for the start-up checks, off the GUI thread.
    std::unique_ptr<QThread> m_tlsWarmUp;
};
