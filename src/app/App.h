#pragma once

#include "core/DeviceType.h"
#include "devices/DeviceProxy.h"
#include "ui_models/IAppServices.h"

#include <QApplication>
#include <QPointer>

#include <future>
#include <memory>
#include <vector>

class IncubationPacer;
class QQmlEngine;
class QQuickWindow;
class QThread;
class QTimer;

namespace Platform {
class AppExtensions;
class IHwBus;
class NetworkUpdater;
class WindowCompositing;
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
    // The UI model type (UIModel.Kestrin, UIModel.Solvarine) of a device whose set-up is under
    // way, until its model is the current one; UIModel.Unknown when there is none. The window
    // builds that device's screen meanwhile, unseen.
    Q_PROPERTY(int settingUpModelType READ settingUpModelType NOTIFY settingUpModelTypeChanged)
    Q_PROPERTY(QObject* appMediator READ getAppMediator CONSTANT)
    Q_PROPERTY(QObject* notificationsMediator READ getNotificationsMediator CONSTANT)
    Q_PROPERTY(bool animationsEnabled READ animationsEnabled CONSTANT)
    Q_PROPERTY(int deviceId READ getDeviceId NOTIFY deviceIdChanged)
    Q_PROPERTY(bool deviceSearchDone READ isDeviceSearchDone NOTIFY deviceSearchDoneChanged)
    Q_PROPERTY(bool firstFrameShown READ isFirstFrameShown NOTIFY firstFrameShownChanged)
    // False while nothing composites the window (X11 without a compositing manager): its
    // transparent corners would show black, so the window draws square ones.
    Q_PROPERTY(bool windowCompositing READ isWindowComposited NOTIFY windowCompositingChanged)

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
    int settingUpModelType() const { return m_settingUpModelType; }
    QObject* getAppMediator() const;
    QObject* getNotificationsMediator() const;
    bool animationsEnabled() const { return areAnimationsEnabled(); }
    // Instance id of the device last made current through App, truncated; -1 before the first.
    int getDeviceId() const { return m_deviceId; }
    // False until the bus's first probe has finished and the device it found, if any, has been
    // taken in: until then the window must not claim that no device is connected.
    bool isDeviceSearchDone() const { return m_deviceSearchDone; }

    // The one first-frame event of the start-up: everything that would cost the window's first
    // frame waits for it. Once it has come, the application fonts register on a thread of their
    // own, the app-update and news checks run and the window's tray icon is made; once the fonts
    // are registered and the window has taken them in, the incubation pacer starts building (the
    // title bar and the screens). The window names itself here when it is created; should it
    // draw nothing (it starts hidden, or the hook is lost), the event comes after the fallback
    // time all the same, with a warning in the log.
    Q_INVOKABLE void watchFirstFrame(QObject* window);
    // The window shows its first content: from now on the building goes in short slices, so
    // that the window stays smooth.
    Q_INVOKABLE void windowContentShown();
    // True once the event above has come; never reset.
    bool isFirstFrameShown() const { return m_firstFrameShown; }
    bool isWindowComposited() const;
    // Replaces the platform's compositing check (tests).
    void setWindowCompositing(std::unique_ptr<Platform::WindowCompositing> check);
    static constexpr int FirstFrameFallbackMs = 3000;
    // Counted from now. Tests that cover the frame path set it beyond their own timeout, so
    // that a lost frame hook fails them instead of passing on the fallback.
    void setFirstFrameFallbackMs(int ms);
    // Builds the engine's asynchronous objects (the window's screens) a slice per event-loop
    // turn, holding them until the first-frame event. Called once the window is loaded: the
    // window installs a controller of its own while it is created.
    void takeOverIncubation(QQmlEngine& engine);

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
    void settingUpModelTypeChanged();
    void deviceIdChanged();
    void deviceSearchDoneChanged();
    void firstFrameShownChanged();
    void windowCompositingChanged();

private slots:
    void onModelReady();
    void onDeviceReady();
    void onDeviceLost();
    void onUpdatesTimeout();
    void onDeviceArrival(const Devices::SharedDeviceImpl& device);
    void onDeviceRemoval(const Devices::SharedDeviceImpl& device);
    void onDeviceSetUpStarted(DeviceType type);
    void onDeviceSetUpEnded();
    void onNotPermitted() { }
    void runBus();
    void onFirstProbeDone();
    void runStartupChecks();
    void warmUpTlsThenCheck();
    void registerFontsInBackground();
    void onFirstFrame();
    void onFirstFrameFallback();
    void onFontsRegistered();
    void startBuilding(bool fontsChangedSinceLastFrame);

private:
    void waitForFonts();
    void initHwBus();
    void chooseUiModel(DeviceType type);
    void setSettingUpModelType(int modelType);
    void setSimulation(DeviceType type);
    void trySetHwDevice(DeviceType type);
    void checkFirmware(DeviceType type);

    Preferences* m_preferences;
    std::unique_ptr<Platform::AppExtensions> m_extensions;
    std::unique_ptr<Platform::WindowCompositing> m_windowCompositing;
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
    int m_settingUpModelType = 0;
    bool m_simulationAllowed = false;
    bool m_deviceSearchDone = false;
    bool m_startupChecksDone = false;
    bool m_firstFrameShown = false;
    QTimer* m_firstFrameFallback;
    // The window named by watchFirstFrame().
    QPointer<QQuickWindow> m_window;
    // Outlives the engine that it paces: the engine is made after the application object.
    std::unique_ptr<IncubationPacer> m_incubationPacer;
    // The registration of the application fonts, on a thread of its own from the start.
    std::future<int> m_fontsRegistered;
    bool m_fontsReady = false;
    // The incubation pacer builds (or will, once made).
    bool m_buildingStarted = false;
    // Loads the TLS back end for the start-up checks, off the GUI thread.
    std::unique_ptr<QThread> m_tlsWarmUp;
};
