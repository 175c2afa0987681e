#include "ui_mediators/UIKesFwMediator.h"

#include "core/GlobalLogger.h"
#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/IKestrinDeviceMain.h"
#include "platform/IHwBus.h"
#include "platform/IKestrinDriversUninstaller.h"
#include "platform/IKestrinFwUpdater.h"
#include "platform/KestrinDriversHelper.h"
#include "platform/NetworkUpdater.h"
#include "ui_models/IAppServices.h"

#include <QtQml/qqml.h>

namespace UIMediators {

namespace {

constexpr uint16_t FactoryAutoPowerOff = 300;
constexpr uint16_t RaisedAutoPowerOff = 3600;

} // namespace

UIKesFwMediator::PlatformServices UIKesFwMediator::PlatformServices::Default()
{
    PlatformServices services;
    services.createFwUpdater = [](const QString& fwPath, Platform::IHwBus& bus) {
        return Platform::CreateKestrinFwUpdater(fwPath, bus);
    };
    services.createDriversUninstaller = [] { return Platform::CreateKestrinDriversUninstaller(); };
    services.isAnyKestrinConnected = [] { return Platform::KestrinDriversHelper::IsAnyKestrinConnected(); };
    services.driverRemovalSupported = Platform::IKestrinDriversUninstaller::IsSupported();
    services.fwInstallSupported = Platform::IsKestrinFwInstallSupported();
    return services;
}

UIKesFwMediator::UIKesFwMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model,
                                 Devices::DeviceProxy& proxy, QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_model(model)
    , m_proxy(proxy)
    , m_services(PlatformServices::Default())
{
    if (Platform::NetworkUpdater* nu = updater())
        connect(nu, &Platform::NetworkUpdater::sigKestrinFwStatusChanged, this,
                &UIKesFwMediator::onFwUpdateStatusChanged);
}

UIKesFwMediator::~UIKesFwMediator()
{
    if (m_fwUpdater) {
        m_fwUpdater->disconnect(this);
        m_fwUpdater.reset();
        m_app.endActivity();
    }
}

void UIKesFwMediator::setPlatformServices(PlatformServices services)
{
    m_services = std::move(services);
}

Platform::NetworkUpdater* UIKesFwMediator::updater() const
{
    return m_app.getNetworkUpdater();
}

bool UIKesFwMediator::isHw() const
{
    return m_model.isHw();
}

int UIKesFwMediator::currentCategory() const
{
    return int(m_proxy.getCategory());
}

bool UIKesFwMediator::isDongle() const
{
    return m_model.isDongle();
}

bool UIKesFwMediator::isFwOnly() const
{
    return m_model.isFwOnly();
}

bool UIKesFwMediator::hasFwUpdate() const
{
    const Platform::NetworkUpdater* nu = updater();
    if (!isHw() || !nu || !nu->hasKestrinFwUpdate(m_deviceType))
        return false;
    const bool dongle = m_model.isDongle();
    return m_forceAllow || m_rollback || (dongle && m_dongleFwVer != m_availableFw) ||
           (!(dongle && m_model.isFwOnly()) && m_fwVer != m_availableFw);
}

void UIKesFwMediator::onFwUpdateStatusChanged(DeviceType type)
{
    if (type != m_deviceType)
        return;
    Platform::NetworkUpdater* nu = updater();
    if (!nu)
        return;

    QString available;
    if (!nu->readKestrinFwVersion(type, available))
        available.clear();
    if (available != m_availableFw) {
        m_availableFw = available;
        emit availableFwChanged();
        emit hasFwUpdateChanged();
    }

    const bool checking = nu->getKestrinFwStatus(type) == Platform::NetworkUpdater::Status::InProgress;
    if (checking != m_checking) {
        m_checking = checking;
        emit isCheckingChanged();
    }

    const bool mismatch =
        !m_availableFw.isEmpty() && isHw() && m_model.isDongle() && !m_model.isFwOnly() && m_dongleFwVer != m_fwVer;
    if (mismatch != m_mismatch) {
        m_mismatch = mismatch;
        emit fwMismatchChanged();
    }
}

void UIKesFwMediator::clearRollbackChoice(DeviceType type)
{
    if (Platform::NetworkUpdater* nu = updater())
        nu->setKestrinRollbackIndex(type, -1);
    m_rollback = false;
    emit isRollbackChanged();
}

void UIKesFwMediator::onModelReady()
{
    if (isHw()) {
        const DeviceType type = m_model.getDeviceType();
        if (type != m_deviceType) {
            m_deviceType = type;
            if (m_rollback)
                clearRollbackChoice(type);
        }
        if (type == DeviceType::kestrin && !m_model.isFwOnly()) {
            const int revision = m_model.isNewFilm() ? 1 : 0;
            if (revision != m_rollbackRevision && m_rollback)
                clearRollbackChoice(type);
            m_rollbackRevision = revision;
        }
        if (Platform::NetworkUpdater* nu = updater())
            nu->checkForKestrinRollbackFws(type, m_rollbackRevision);
    }

    m_fwVer = m_model.getFwVersion();
    m_dongleFwVer = m_model.isDongle() ? m_model.getDongleFwVersion() : QString();

    emit modelReady();
    onFwUpdateStatusChanged(m_deviceType);
    emit hasFwUpdateChanged();

    if (m_model.isFullHw() && m_raisePowerOffLater) {
        m_raisePowerOffLater = false;
        raiseAutoPowerOff();
    }
    if (isHw() && m_drStatus == DrWaitForDeviceReconnect)
        setDrStatus(DrSuccess);
}

void UIKesFwMediator::raiseAutoPowerOff()
{
    // A factory reset or a new image brings the headset back with the shortest auto power-off;
    // the user would see it switch off during the first minutes.
    if (m_model.getAutoPowerOff() == FactoryAutoPowerOff)
        m_model.setAutoPowerOff(RaisedAutoPowerOff);
}

UIKesFwMediator::StartStatus UIKesFwMediator::installFw(bool remote)
{
    if (m_fwUpdater)
        return StartFailed;

    m_raisePowerOffLater = false;
    m_dongleSelfUpdate = m_model.isDongle() && !remote;

    const Devices::SharedDeviceImpl device = m_proxy.getDevice();
    if (!device || device->getCategory() != Devices::DeviceCategory::Hardware)
        return StartFailed;
    const DeviceType type = device->getDeviceType();
    Platform::NetworkUpdater* nu = updater();
    QString version;
    if (!nu || !nu->hasKestrinFwUpdate(type) || !nu->readKestrinFwVersion(type, version))
        return StartFailed;
    Devices::IKestrinDeviceMain* headset = device->getKestrinDevice();
    if (!headset)
        return StartFailed;
    const KestrinHwType hwType = headset->getHwType();

    QString path;
    if (!(remote ? nu->readKestrinHeadsetFw(type, hwType, path) : nu->readKestrinFw(type, hwType, path)))
        return StartFailed;

    Platform::IHwBus* bus = m_app.getHwBus();
    if (!bus || !m_services.createFwUpdater)
        return StartFailed;
    m_fwUpdater = m_services.createFwUpdater(path, *bus);
    if (!m_fwUpdater || m_fwUpdater->getStatus(nullptr) != Platform::IKestrinFwUpdater::Idle) {
        m_fwUpdater.reset();
        return StartFailed;
    }

    onStatusChanged();
    onProgressChanged();

    connect(m_fwUpdater.get(), &Platform::IKestrinFwUpdater::sigStatusChanged, this, &UIKesFwMediator::onStatusChanged);
    connect(m_fwUpdater.get(), &Platform::IKestrinFwUpdater::sigProgressChanged, this,
            &UIKesFwMediator::onProgressChanged);
    if (!m_fwUpdater->start(device, remote)) {
        m_fwUpdater.reset(); // status stays Starting
        return StartFailed;
    }

    m_app.beginActivity();
    m_forceAllow = false;
    emit hasFwUpdateChanged();
    return Started;
}

void UIKesFwMediator::onProgressChanged()
{
    if (!m_fwUpdater)
        return;
    Platform::IKestrinFwUpdater::StatusParams params;
    m_fwUpdater->getStatus(&params);
    if (params.progress != m_progress) {
        m_progress = params.progress;
        emit progressChanged();
    }
}

void UIKesFwMediator::onStatusChanged()
{
    if (!m_fwUpdater)
        return;
    m_status = Status(m_fwUpdater->getStatus(nullptr));
    if (m_status == Success || m_status == Failed) {
        m_app.endActivity();
        // The updater is inside its own signal: it goes once that has returned (or with the
        // mediator, should no event loop run any more).
        m_fwUpdater->disconnect(this);
        QObject* finished = m_fwUpdater.release();
        finished->setParent(this);
        finished->deleteLater();

        if (currentCategory() == int(Devices::DeviceCategory::Hardware))
            raiseAutoPowerOff();
        else
            m_raisePowerOffLater = !m_dongleSelfUpdate; // once the headset is back

        if (m_status == Success)
            m_app.selectDevice(1);
    }
    emit statusChanged();
}

bool UIKesFwMediator::factoryReset()
{
    m_raisePowerOffLater = true;
    return m_model.factoryReset();
}

void UIKesFwMediator::pairing()
{
    if (Platform::IHwBus* bus = m_app.getHwBus())
        bus->tryPairKestrinDongle();
}

void UIKesFwMediator::forceAllowUpdate()
{
    m_forceAllow = true;
    emit hasFwUpdateChanged();
}

QStringList UIKesFwMediator::getRollbackFwVersions()
{
    Platform::NetworkUpdater* nu = updater();
    if (currentCategory() != int(Devices::DeviceCategory::Hardware) || !nu)
        return {};
    const QStringList names = nu->getAvailableKestrinFwNames(m_deviceType);
    if (names.isEmpty())
        nu->checkForKestrinRollbackFws(m_deviceType, m_rollbackRevision);
    m_latestIndex = int(names.size());
    if (names.isEmpty())
        return {};

    QStringList entries;
    for (const QString& name : names)
        entries << tr("Rollback firmware to %1").arg(name);
    entries << tr("Install the latest firmware");
    return entries;
}

void UIKesFwMediator::setRollbackFwIndex(int index)
{
    if (Platform::NetworkUpdater* nu = updater())
        nu->setKestrinRollbackIndex(m_deviceType, index == m_latestIndex ? -1 : index);
    m_rollback = index != m_latestIndex && index != -1;
    emit isRollbackChanged();
}

// ---- Driver removal ----

void UIKesFwMediator::continueReinstallingDrivers()
{
    switch (m_drStatus) {
    case DrNotStarted:
    case DrUnplugDevices:
        if (m_services.isAnyKestrinConnected && m_services.isAnyKestrinConnected())
            setDrStatus(DrUnplugDevices);
        else
            uninstallDrivers();
        break;
    case DrUninstalling:
    case DrWaitForDeviceReconnect: break;
    case DrSuccess:
    case DrDeviceConnected:
    case DrAccessDenied:
    case DrFailed: setDrStatus(DrNotStarted); break;
    }
}

void UIKesFwMediator::resetReinstallingDrivers()
{
    setDrStatus(DrNotStarted);
}

void UIKesFwMediator::uninstallDrivers()
{
    if (!m_uninstaller) {
        if (m_services.createDriversUninstaller)
            m_uninstaller = m_services.createDriversUninstaller();
        if (!m_uninstaller) {
            GlobalLogger::Instance()->message(QtWarningMsg, "No driver uninstaller on this system.");
            setDrStatus(DrFailed);
            return;
        }
        connect(m_uninstaller.get(), &Platform::IKestrinDriversUninstaller::sigStatusChanged, this,
                &UIKesFwMediator::onDrStatusChanged);
    }
    m_uninstaller->start();
}

void UIKesFwMediator::onDrStatusChanged()
{
    if (!m_uninstaller)
        return;
    using U = Platform::IKestrinDriversUninstaller;
    switch (m_uninstaller->getStatus()) {
    case U::Idle: m_drStatus = DrNotStarted; break;
    case U::Running: m_drStatus = DrUninstalling; break;
    case U::Done: m_drStatus = isHw() ? DrSuccess : DrWaitForDeviceReconnect; break;
    case U::DeviceConnected: m_drStatus = DrDeviceConnected; break;
    case U::NoElevation: m_drStatus = DrAccessDenied; break;
    case U::Failed: m_drStatus = DrFailed; break;
    default: return;
    }
    emit drStatusChanged();
}

void UIKesFwMediator::setDrStatus(DrStatus status)
{
    m_drStatus = status;
    emit drStatusChanged();
}

void UIKesFwMediator::RegisterType()
{
    qmlRegisterUncreatableType<UIKesFwMediator>("Velmor.Enums", 1, 0, "UIKesFwMediator",
                                                QStringLiteral("Error - class UIKesFwMediator uncreatable"));
}

} // namespace UIMediators
