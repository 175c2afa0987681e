#include "app/App.h"

#include "app/IncubationPacer.h"

#include "core/GlobalLogger.h"
#include "core/Preferences.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "platform/AppExtensions.h"
#include "platform/IHwBus.h"
#include "platform/NetworkUpdater.h"
#include "platform/PlatformFactories.h"
#include "platform/WindowCompositing.h"
#include "theme/ApplicationFonts.h"
#include "theme/DarkTheme.h"
#include "ui_mediators/UIAppMediator.h"
#include "ui_mediators/UINotificationsMediator.h"
#include "ui_models/UIKestrinModel.h"
#include "ui_models/UISolvarineModel.h"
#include "ui_models/UIStubModel.h"

#include <QCursor>
#include <QFile>
#include <QQuickWindow>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

namespace {

constexpr int UpdatesIntervalMs = 6 * 60 * 60 * 1000;
// Far beyond a frame of the window's bare background.
constexpr int FontsFrameFallbackMs = 200;

} // namespace

App::App(int& argc, char** argv)
    : App(argc, argv, Platform::CreateHardwareBus())
{
}

App::App(int& argc, char** argv, std::unique_ptr<Platform::IHwBus> bus)
    : QApplication(argc, argv)
    , m_preferences(new Preferences(this))
    , m_extensions(Platform::CreateAppExtensions())
    , m_networkUpdater(new Platform::NetworkUpdater(nullptr))
    , m_appMediator(new UIMediators::UIAppMediator(*m_networkUpdater, *m_preferences, nullptr))
    , m_notificationsMediator(new UIMediators::UINotificationsMediator(*m_networkUpdater, *m_appMediator, nullptr))
    , m_theme(new Theme::DarkTheme(this))
    , m_stubModel(new UIModels::UIStubModel(this))
    , m_kestrinModel(new UIModels::UIKestrinModel(&m_deviceProxy, this, this))
    , m_solvarineModel(new UIModels::UISolvarineModel(m_deviceProxy, *this, this))
    , m_updatesTimer(new QTimer(this))
    , m_devices{std::make_shared<Devices::FakeKestrinDeviceImpl>()}
    , m_hwBus(std::move(bus))
    , m_simulatedCount(m_devices.size())
    , m_firstFrameFallback(new QTimer(this))
{
    // Opens the run's log file now, so it begins with the banner whatever happens next.
    GlobalLogger::Instance();

    // Every text reads its font family from the theme, which waits for the fonts first. They are
    // registered on a thread of their own from now on, while the window loads on this one.
    m_theme->setFontsGate([this] { waitForFonts(); });
    registerFontsInBackground();

    setWindowCompositing(Platform::CreateWindowCompositing());
    initHwBus();

    connect(m_kestrinModel, &UIModels::IUIModel::modelReady, this, &App::onModelReady);
    connect(m_solvarineModel, &UIModels::IUIModel::modelReady, this, &App::onModelReady);

    connect(m_extensions.get(), &Platform::AppExtensions::sigOpenWindow, this, &App::showAppWindow);
    m_extensions->listen(true);
    // An ending instance shows no window any more: a start meanwhile waits for it to end instead.
    connect(this, &QCoreApplication::aboutToQuit, this, [this] { m_extensions->listen(false); });

    m_updatesTimer->setInterval(UpdatesIntervalMs);
    connect(m_updatesTimer, &QTimer::timeout, this, &App::onUpdatesTimeout);
    m_updatesTimer->start();

    // What waits for the first frame waits for it, but not for ever.
    m_firstFrameFallback->setSingleShot(true);
    m_firstFrameFallback->setInterval(FirstFrameFallbackMs);
    connect(m_firstFrameFallback, &QTimer::timeout, this, &App::onFirstFrameFallback);
    m_firstFrameFallback->start();

    connect(&m_deviceProxy, &Devices::DeviceProxy::deviceReady, this, &App::onDeviceReady);
    connect(&m_deviceProxy, &Devices::DeviceProxy::deviceLost, this, &App::onDeviceLost);
}

App::~App()
{
    if (m_fontsRegistered.valid())
        m_fontsRegistered.wait();
    // The headset UI model first: its device model stops its worker before the devices go.
    auto* kestrinModel = m_kestrinModel;
    m_kestrinModel = nullptr;
    m_currentUiModel = nullptr;
    delete kestrinModel;
    m_deviceProxy.resetImpl();

    m_devices.clear();

    if (m_hwBus) {
        disconnect(m_hwBus.get(), nullptr, this, nullptr);
        m_hwBus.reset();
    }

    delete m_solvarineModel;
    m_solvarineModel = nullptr;
    delete m_stubModel;
    m_stubModel = nullptr;

    // The proxy is a member and goes with the object; nothing listens to it any more.
    disconnect(&m_deviceProxy, nullptr, this, nullptr);
    delete m_notificationsMediator;
    delete m_appMediator;
    delete m_networkUpdater;
    m_extensions.reset();
    if (m_tlsWarmUp)
        m_tlsWarmUp->wait();
}

bool App::isWindowComposited() const
{
    return m_windowCompositing->isComposited();
}

void App::setWindowCompositing(std::unique_ptr<Platform::WindowCompositing> check)
{
    m_windowCompositing = std::move(check);
    connect(m_windowCompositing.get(), &Platform::WindowCompositing::compositedChanged, this,
            &App::windowCompositingChanged);
    emit windowCompositingChanged();
}

QObject* App::theme() const
{
    return m_theme;
}

void App::registerFontsInBackground()
{
    m_fontsRegistered = std::async(std::launch::async, [this] {
        const int registered = Theme::RegisterApplicationFonts();
        // Queued after the font database's own change notices, which the window takes first.
        QMetaObject::invokeMethod(this, &App::onFontsRegistered, Qt::QueuedConnection);
        return registered;
    });
}

void App::onFontsRegistered()
{
    m_fontsReady = true;
    // Before the first frame (as a rule): that frame takes them in, and the building follows it.
    if (m_firstFrameShown)
        startBuilding(true);
}

void App::startBuilding(bool fontsChangedSinceLastFrame)
{
    if (m_buildingStarted)
        return;
    m_buildingStarted = true;
    if (!m_incubationPacer)
        return;
    // The window lays out every text anew in the first frame after a font database change: one
    // more frame of its background first, which has next to no text to lay out, and the building
    // after it. A window that draws nothing meanwhile (hidden) does not hold the building up.
    if (!fontsChangedSinceLastFrame || !m_window || !m_window->isExposed()) {
        m_incubationPacer->release();
        return;
    }
    IncubationPacer* pacer = m_incubationPacer.get();
    connect(m_window, &QQuickWindow::afterAnimating, pacer, &IncubationPacer::release,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    QTimer::singleShot(FontsFrameFallbackMs, pacer, &IncubationPacer::release);
    m_window->update();
}

void App::waitForFonts()
{
    if (m_fontsRegistered.valid())
        m_fontsRegistered.get();
}

QObject* App::uiModel() const
{
    return m_currentUiModel;
}

QObject* App::getAppMediator() const
{
    return m_appMediator;
}

QObject* App::getNotificationsMediator() const
{
    return m_notificationsMediator;
}

UIModels::IUIModel* App::stubModel() const
{
    return m_stubModel;
}

UIModels::IUIModel* App::solvarineModel() const
{
    return m_solvarineModel;
}

bool App::areAnimationsEnabled() const
{
    return m_extensions->areAnimationsEnabled();
}

void App::beginActivity()
{
    m_extensions->beginActivity();
}

void App::endActivity()
{
    m_extensions->endActivity();
}

void App::setCursor(int cursor)
{
    // Only the plain shapes: a bitmap or custom cursor needs a picture that a number cannot carry.
    if (cursor < 0 || cursor > Qt::LastCursor) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Ignoring cursor shape %d.", cursor);
        return;
    }
    QGuiApplication::setOverrideCursor(QCursor(Qt::CursorShape(cursor)));
}

void App::restoreCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

QString App::readTextFile(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void App::initHwBus()
{
    qRegisterMetaType<Devices::SharedDeviceImpl>("Devices::SharedDeviceImpl");
    // The bus announces devices from its worker thread.
    connect(m_hwBus.get(), &Platform::IHwBus::deviceArrived, this, &App::onDeviceArrival, Qt::QueuedConnection);
    connect(m_hwBus.get(), &Platform::IHwBus::deviceRemoved, this, &App::onDeviceRemoval, Qt::QueuedConnection);
    connect(m_hwBus.get(), &Platform::IHwBus::notPermitted, this, &App::onNotPermitted, Qt::QueuedConnection);
    connect(m_hwBus.get(), &Platform::IHwBus::deviceSetUpStarted, this, &App::onDeviceSetUpStarted,
            Qt::QueuedConnection);
    connect(m_hwBus.get(), &Platform::IHwBus::deviceSetUpFailed, this, &App::onDeviceSetUpEnded, Qt::QueuedConnection);
    // Queued like the arrivals, so that it reaches us after the arrivals of the same probe.
    connect(m_hwBus.get(), &Platform::IHwBus::firstProbeDone, this, &App::onFirstProbeDone, Qt::QueuedConnection);
    // At once: the probe runs on the bus's worker, so setting a headset up overlaps the loading
    // of the window instead of following it.
    runBus();
}

void App::runBus()
{
    // Returns at once: the bus probes on its own worker and tells when its first probe is done.
    m_hwBus->runBus();
}

void App::onFirstProbeDone()
{
    // The bus tells this again after each restart (a firmware update stops and restarts it).
    if (m_deviceSearchDone)
        return;
    // A device that did arrive brings its UI model through onModelReady.
    if (m_devices.size() <= m_simulatedCount) {
        chooseUiModel(m_deviceProxy.getDeviceType());
        GlobalLogger::Instance()->message(QtDebugMsg, "Device not found.");
    }
    m_deviceSearchDone = true;
    emit deviceSearchDoneChanged();
}

void App::watchFirstFrame(QObject* object)
{
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (!window || m_firstFrameShown)
        return;
    m_window = window;
    // frameSwapped comes from the render thread where there is one; queued to ours.
    connect(window, &QQuickWindow::frameSwapped, this, &App::onFirstFrame,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
}

void App::setFirstFrameFallbackMs(int ms)
{
    if (!m_firstFrameShown)
        m_firstFrameFallback->start(ms);
}

void App::takeOverIncubation(QQmlEngine& engine)
{
    if (!m_incubationPacer)
        m_incubationPacer = std::make_unique<IncubationPacer>();
    // Released by startBuilding().
    if (!m_buildingStarted)
        m_incubationPacer->hold();
    m_incubationPacer->install(engine);
}

void App::windowContentShown()
{
    if (m_incubationPacer)
        m_incubationPacer->setContentShown();
}

void App::onFirstFrameFallback()
{
    if (m_firstFrameShown)
        return;
    GlobalLogger::Instance()->message(QtWarningMsg,
                                      "The window has drawn no frame within %d ms; the start-up goes on "
                                      "without it.",
                                      m_firstFrameFallback->interval());
    onFirstFrame();
}

void App::onFirstFrame()
{
    if (m_firstFrameShown)
        return;
    m_firstFrameShown = true;
    m_firstFrameFallback->stop();
    warmUpTlsThenCheck();
    emit firstFrameShownChanged();
    if (m_fontsReady)
        startBuilding(false);
}

void App::warmUpTlsThenCheck()
{
    if (m_startupChecksDone || m_tlsWarmUp)
        return;
    // The first HTTPS request loads the TLS back end and the TLS library (tens of milliseconds
    // in which the window would not draw): a thread of its own loads them, and the checks
    // follow, on this thread, once they are there. It runs when a core has nothing else to do:
    // the window is still building its first screen, which the user waits for.
    m_tlsWarmUp.reset(QThread::create([] { QSslSocket::supportsSsl(); }));
    connect(m_tlsWarmUp.get(), &QThread::finished, this, &App::runStartupChecks);
    m_tlsWarmUp->start(QThread::IdlePriority);
}

void App::runStartupChecks()
{
    if (m_startupChecksDone)
        return;
    m_startupChecksDone = true;
    m_networkUpdater->checkForAppUpdate();
    m_networkUpdater->checkForNotifications();
}

void App::chooseUiModel(DeviceType type)
{
    UIModels::IUIModel* model = m_stubModel;
    if (IsLikeKestrin(type))
        model = m_kestrinModel;
    else if (type == DeviceType::solvarine)
        model = m_solvarineModel;
    if (model == m_currentUiModel)
        return;
    m_currentUiModel = model;
    emit uiModelChanged();
}

bool App::setDevice(const std::shared_ptr<Devices::IDeviceImpl>& device)
{
    if (!m_deviceProxy.setDevice(device))
        return false;
    m_deviceId = int(device->getInstanceId());
    emit deviceIdChanged();
    return true;
}

void App::setSimulation(DeviceType type)
{
    const DeviceType wanted = IsLikeKestrin(type) ? DeviceType::kestrin : type;
    for (size_t i = 0; i < m_simulatedCount && i < m_devices.size(); ++i) {
        // Copied: making a device current runs listeners, which must not see a dangling entry.
        const auto device = m_devices[i];
        if (device->getDeviceType() == wanted)
            setDevice(device);
    }
}

void App::selectDevice(int type)
{
    DeviceType wanted;
    if (type == 1)
        wanted = DeviceType::kestrin;
    else if (type == 2)
        wanted = DeviceType::solvarine;
    else
        return;
    for (size_t i = m_simulatedCount; i < m_devices.size(); ++i) {
        const auto device = m_devices[i];
        if (AreDevicesSimilar(device->getDeviceType(), wanted)) {
            setDevice(device);
            return;
        }
    }
    setSimulation(wanted);
}

void App::trySetHwDevice(DeviceType type)
{
    for (size_t i = m_simulatedCount; i < m_devices.size(); ++i) {
        const auto device = m_devices[i];
        if (AreDevicesSimilar(device->getDeviceType(), type)) {
            setDevice(device);
            return;
        }
    }
    m_deviceProxy.resetImpl();
    chooseUiModel(m_deviceProxy.getDeviceType());
}

void App::setSimulationAllowed(bool allowed)
{
    m_simulationAllowed = allowed;
    if (!allowed && m_deviceProxy.getCategory() == Devices::DeviceCategory::Software)
        trySetHwDevice(m_deviceProxy.getDeviceType());
}

void App::checkFirmware(DeviceType type)
{
    if (IsLikeKestrin(type)) {
        if (!m_networkUpdater->hasKestrinFwUpdate(type))
            m_networkUpdater->checkForKestrinFw(type);
    } else if (type == DeviceType::solvarine) {
        if (!m_networkUpdater->hasSolvarineFwUpdate())
            m_networkUpdater->checkForSolvarineFw();
    }
}

void App::onDeviceArrival(const Devices::SharedDeviceImpl& device)
{
    GlobalLogger::Instance()->message(QtDebugMsg, "onDeviceArrival");
    if (!device)
        return;
    for (const auto& known : m_devices) {
        if (known->getInstanceId() == device->getInstanceId()) {
            GlobalLogger::Instance()->message(QtWarningMsg, "Device %llu arrived twice; ignored.",
                                              static_cast<unsigned long long>(device->getInstanceId()));
            return;
        }
    }
    checkFirmware(device->getDeviceType());
    m_devices.push_back(device);
    // A hardware device that is already current is never replaced by a newcomer, whose screen
    // is then not coming either.
    if (m_deviceProxy.getCategory() != Devices::DeviceCategory::Hardware)
        setDevice(device);
    else
        onDeviceSetUpEnded();
}

void App::onDeviceRemoval(const Devices::SharedDeviceImpl& device)
{
    GlobalLogger::Instance()->message(QtDebugMsg, "onDeviceRemoval");
    if (!device)
        return;
    const DeviceType type = device->getDeviceType();
    const bool wasCurrent = device->getInstanceId() == m_deviceProxy.getInstanceId();
    if (wasCurrent) {
        setSimulation(type); // the simulated headset stands in at once
        // Gone before its model was ready: its screen is not coming.
        onDeviceSetUpEnded();
    }

    for (auto it = m_devices.begin() + std::ptrdiff_t(m_simulatedCount); it != m_devices.end(); ++it) {
        if ((*it)->getInstanceId() == device->getInstanceId()) {
            m_devices.erase(it);
            break;
        }
    }

    if (m_simulationAllowed)
        return;
    // Another kind of device went away: the current hardware device is still connected and stays.
    if (!wasCurrent && m_deviceProxy.getCategory() == Devices::DeviceCategory::Hardware &&
        !AreDevicesSimilar(m_deviceProxy.getDeviceType(), type))
        return;
    trySetHwDevice(type);
}

void App::onModelReady()
{
    chooseUiModel(m_deviceProxy.getDeviceType());
    // After the switch: the window takes the screen it built for the device as the one wanted.
    onDeviceSetUpEnded();
}

void App::onDeviceSetUpStarted(DeviceType type)
{
    if (IsLikeKestrin(type))
        setSettingUpModelType(UIModels::IUIModel::Kestrin);
    else if (type == DeviceType::solvarine)
        setSettingUpModelType(UIModels::IUIModel::Solvarine);
}

void App::onDeviceSetUpEnded()
{
    setSettingUpModelType(UIModels::IUIModel::Unknown);
}

void App::setSettingUpModelType(int modelType)
{
    if (modelType == m_settingUpModelType)
        return;
    m_settingUpModelType = modelType;
    emit settingUpModelTypeChanged();
}

void App::onDeviceReady()
{
    m_notificationsMediator->setCurrentDevice(m_deviceProxy.getDeviceType());
}

void App::onDeviceLost()
{
    m_notificationsMediator->setCurrentDevice(DeviceType::none);
}

void App::onUpdatesTimeout()
{
    m_networkUpdater->checkForAppUpdate();
    m_networkUpdater->checkForNotifications();
    for (size_t i = m_simulatedCount; i < m_devices.size(); ++i) {
        const DeviceType type = m_devices[i]->getDeviceType();
        if (IsLikeKestrin(type))
            m_networkUpdater->checkForKestrinFw(type);
        else if (type == DeviceType::solvarine)
            m_networkUpdater->checkForSolvarineFw();
    }
}
