#include "ui_mediators/UIAppMediator.h"

#include "core/GlobalLogger.h"
#include "platform/FilesHelper.h"
#include "platform/NetworkUpdater.h"
#include "utils/Utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QVersionNumber>
#include <QtQml/qqml.h>

namespace UIMediators {

namespace {

constexpr auto c_license_accepted = Preferences::BoolProperty::license_accepted;
constexpr auto c_minimize_to_tray = Preferences::BoolProperty::minimize_to_tray;

UIAppMediator::Status FromUpdaterStatus(Platform::NetworkUpdater::Status status)
{
    using Updater = Platform::NetworkUpdater::Status;
    switch (status) {
    case Updater::None: return UIAppMediator::None;
    case Updater::Failed: return UIAppMediator::Failed;
    case Updater::InProgress: return UIAppMediator::Checking;
    case Updater::Available: return UIAppMediator::CanDownload;
    case Updater::Ready: return UIAppMediator::CanInstall;
    }
    return UIAppMediator::None;
}

} // namespace

UIAppMediator::UIAppMediator(Platform::NetworkUpdater& updater, Preferences& preferences, QObject* parent)
    : UIAppMediator(updater, preferences, Platform::CreateAppInstaller(), parent)
{
}

UIAppMediator::UIAppMediator(Platform::NetworkUpdater& updater, Preferences& preferences,
                             std::unique_ptr<Platform::IAppInstaller> installer, QObject* parent)
    : QObject(parent)
    , m_updater(updater)
    , m_preferences(preferences)
    , m_installer(std::move(installer))
    , m_eulaAccepted(preferences.getBool(c_license_accepted))
    , m_minimizeToTray(preferences.getBool(c_minimize_to_tray))
{
    connect(&m_updater, &Platform::NetworkUpdater::sigAppUpdateStatusChanged, this,
            &UIAppMediator::onUpdateStatusChanged);
    connect(&m_preferences, &Preferences::boolChanged, this, &UIAppMediator::onPrefChanged);
    onUpdateStatusChanged();
    updateDialogNeeded();
}

UIAppMediator::~UIAppMediator() = default;

bool UIAppMediator::IsNewerVersion(const QString& offered, const QString& running)
{
    const QVersionNumber offeredNumber = QVersionNumber::fromString(offered).normalized();
    const QVersionNumber runningNumber = QVersionNumber::fromString(running).normalized();
    return !offeredNumber.isNull() && QVersionNumber::compare(offeredNumber, runningNumber) > 0;
}

void UIAppMediator::onUpdateStatusChanged()
{
    Status status = FromUpdaterStatus(m_updater.getAppUpdateStatus());
    QString version;
    const bool hasVersion = m_updater.readAppUpdateVersion(version);
    const QString running = QCoreApplication::applicationVersion();
    // An offer of the version that runs is no update (it was just installed); nor is an older
    // one, nor one whose installer cannot run here.
    if (hasVersion && version == running) {
        status = None;
    } else if (hasVersion) {
        QString refusal;
        if (!IsNewerVersion(version, running))
            refusal = QStringLiteral("it is not later than the running version %1").arg(running);
        else
            refusal = m_installer->unavailableReason();
        if (!refusal.isEmpty()) {
            status = None;
            if (version != m_refusedVersion) {
                GlobalLogger::Instance()->message(QtInfoMsg, "App update version %s is not offered: %s",
                                                  qUtf8Printable(version), qUtf8Printable(refusal));
                m_refusedVersion = version;
            }
        }
    }

    const bool changed = status != m_updateStatus || (hasVersion && version != m_updateVersion);
    if (!changed)
        return;

    m_updateStatus = None;
    emit updateChanged();
    m_updateStatus = status;
    m_updateVersion = version;
    updateNotificationBadge();
    updateDialogNeeded();
    emit updateChanged();
}

void UIAppMediator::updateNotificationBadge()
{
    const bool badge = hasUpdate();
    if (badge == m_notificationBadge)
        return;
    m_notificationBadge = badge;
    emit notificationBadgeChanged();
}

void UIAppMediator::onPrefChanged(Preferences::BoolProperty property)
{
    if (property == c_license_accepted) {
        m_eulaAccepted = m_preferences.getBool(c_license_accepted);
        emit eulaAcceptedChanged();
    } else if (property == c_minimize_to_tray) {
        m_minimizeToTray = m_preferences.getBool(c_minimize_to_tray);
        emit minimizeToTrayChanged();
    }
}

void UIAppMediator::setEulaAccepted(bool accepted)
{
    m_preferences.setBool(c_license_accepted, accepted);
}

void UIAppMediator::setMinimizeToTray(bool on)
{
    m_preferences.setBool(c_minimize_to_tray, on);
}

bool UIAppMediator::proceedUpdate()
{
    if (m_updateStatus == CanDownload) {
        m_updater.downloadAppUpdate();
        return true;
    }
    if (m_updateStatus != CanInstall)
        return true;

    QString path;
    if (!m_updater.readAppUpdateFilePath(path))
        return false;
    GlobalLogger::Instance()->message(QtDebugMsg, "Installing app update %s...", qUtf8Printable(path));

    // The installer may look for files beside it, so it starts from its own folder.
    const QString workingDir = QDir::currentPath();
    QDir::setCurrent(QFileInfo(path).absolutePath());
    const bool opened = m_installer->start(path);
    QDir::setCurrent(workingDir);

    if (!opened) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Failed opening the installer.");
        return false;
    }
    QCoreApplication::exit(0);
    return true;
}

bool UIAppMediator::saveLogsToFile(const QUrl& fileUrl, const QUrl& folderUrl)
{
    const QString path = Utils::WithFileSuffix(Utils::LocalPathFromDialog(fileUrl, folderUrl), QStringLiteral(".log"));
    if (path.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot save the logs to %s: not a local file.",
                                          qUtf8Printable(fileUrl.toString()));
        return false;
    }
    if (!GlobalLogger::Instance()->saveLogs(path))
        return false;
    Platform::FilesHelper::ShowFileInFolder(path);
    return true;
}

void UIAppMediator::RegisterType()
{
    qmlRegisterUncreatableType<UIAppMediator>("Velmor.Enums", 1, 0, "UIAppMediator",
                                              QStringLiteral("Error - class UIAppMediator uncreatable"));
}

} // namespace UIMediators
