#include "platform/NetworkUpdater.h"

#include "app/core/GlobalLogger.h"
#include "platform/CacheFiles.h"
#include "utils/Utils.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>

namespace Platform {

namespace {

// Manifest paths on their storage hosts.
const char* const c_path_app = "/Velmor_App/velmor_app.json";
const char* const c_path_notifications = "/Velmor_App/Notifications/Notifications.json";
const char* const c_path_kestrin_fw = "/kestrin-fw.json";
const char* const c_path_kestrin_2_fw = "/kestrin-2-fw.json";
const char* const c_path_kestrin_2_anc_fw = "/kestrin-2-ANC-fw.json";
const char* const c_path_kestrin_old_rollback = "/kestrin-old-rollback.json";
const char* const c_path_kestrin_new_rollback = "/kestrin-new-rollback.json";
const char* const c_path_kestrin_2_rollback = "/kestrin-2-rollback.json";
const char* const c_path_kestrin_2_anc_rollback = "/kestrin-2-anc-rollback.json";
const char* const c_path_solvarine_fw = "/solvarine_fw.json";

// Manifest keys.
const QLatin1String c_key_app_version("win_amd64_version");
const QLatin1String c_key_app_link("win_amd64_link");
const QLatin1String c_key_version("version");
const QLatin1String c_key_link("link");
const QLatin1String c_key_firmwares("firmwares");

const QLatin1String c_app_update_folder("app_update");
const QLatin1String c_app_marker("ver");

QByteArray TypeName(DeviceType type)
{
    return Enumer<DeviceType>::NameOrNull(type).toUtf8();
}

QByteArray HwName(KestrinHwType hwType)
{
    return Enumer<KestrinHwType>::NameOrNull(hwType).toUtf8();
}

// A body that is what the server meant to send: a success status and, when the server announced
// the size of a plain (not re-encoded) body, exactly that many bytes.
bool IsCompleteBody(QNetworkReply* reply, const QByteArray& body, QString& problem)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() != 200) {
        problem = QStringLiteral("HTTP status %1").arg(status.toInt());
        return false;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && !reply->hasRawHeader("Content-Encoding") && length.toLongLong() != body.size()) {
        problem = QStringLiteral("%1 of %2 bytes").arg(body.size()).arg(length.toLongLong());
        return false;
    }
    return true;
}

QString ForLog(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
}

} // namespace

NetworkUpdater::Endpoints NetworkUpdater::Endpoints::Product()
{
#ifdef VELMOR_LOCAL_UPDATE_HOSTS
    // Port 9 (discard) on the loopback interface: nothing listens, every request fails at once.
    const QString local = QStringLiteral("https://127.0.0.1:9");
    return {local, local, local, local};
#else
    return {QStringLiteral("https://downloads.velmor.com"), QStringLiteral("https://kestrin-fw.velmor.com"),
            QStringLiteral("https://kestrin2-fw.velmor.com"), QStringLiteral("https://solvarine-fw.velmor.com")};
#endif
}

NetworkUpdater::NetworkUpdater(QObject* parent)
    : NetworkUpdater(Endpoints::Product(), parent)
{
}

NetworkUpdater::NetworkUpdater(const Endpoints& endpoints, QObject* parent)
    : QObject(parent)
    , m_endpoints(endpoints)
    , m_manager(new QNetworkAccessManager(this))
    , m_appDir(QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                   .absoluteFilePath(c_app_update_folder))
{
    m_manager->setTransferTimeout(DefaultTransferTimeoutMs);

    // After an installed update the running version's installer is of no further use.
    QString savedName;
    if (isAppUpdateSaved(QCoreApplication::applicationVersion(), savedName))
        deleteSavedAppUpdate();

    m_kestrin[DeviceType::kestrin].defaultUrl = m_endpoints.kestrin + QLatin1String(c_path_kestrin_fw);
    m_kestrin[DeviceType::kestrin_2].defaultUrl = m_endpoints.kestrin2 + QLatin1String(c_path_kestrin_2_fw);
    m_kestrin[DeviceType::kestrin_2_anc].defaultUrl = m_endpoints.kestrin2 + QLatin1String(c_path_kestrin_2_anc_fw);
}

NetworkUpdater::~NetworkUpdater()
{
    // Requests still running end here, without running their handlers.
    const auto replies = m_manager->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies) {
        reply->disconnect(this);
        reply->abort();
    }
}

void NetworkUpdater::setSslConfiguration(const QSslConfiguration& configuration)
{
    m_sslConfiguration = configuration;
}

void NetworkUpdater::setTransferTimeout(int milliseconds)
{
    m_manager->setTransferTimeout(milliseconds);
}

NetworkUpdater::KestrinFwStruct* NetworkUpdater::record(DeviceType type)
{
    const auto it = m_kestrin.find(type);
    return it == m_kestrin.end() ? nullptr : &it->second;
}

const NetworkUpdater::KestrinFwStruct* NetworkUpdater::record(DeviceType type) const
{
    const auto it = m_kestrin.find(type);
    return it == m_kestrin.end() ? nullptr : &it->second;
}

QNetworkReply* NetworkUpdater::get(const QUrl& url)
{
    QNetworkRequest request(url);
    if (m_sslConfiguration)
        request.setSslConfiguration(*m_sslConfiguration);
    return m_manager->get(request);
}

void NetworkUpdater::handleReply(QNetworkReply* reply, std::function<bool()> isCurrent, Action onError,
                                 Action onFinishedWithError, std::function<void(QNetworkReply*)> onBody)
{
    // Marks the reply whose handler runs, so that cancelling the other downloads spares it.
    auto run = [this, reply](const auto& action) {
        QNetworkReply* const outer = m_handledReply;
        m_handledReply = reply;
        action();
        m_handledReply = outer;
    };
    connect(reply, &QNetworkReply::errorOccurred, this,
            [this, reply, isCurrent, onError, run](QNetworkReply::NetworkError code) {
                reply->deleteLater();
                GlobalLogger::Instance()->message(QtDebugMsg, "Network Error, %d", int(code));
                GlobalLogger::Instance()->message(QtWarningMsg, "Request for %s failed: %s",
                                                  qUtf8Printable(ForLog(reply->url())),
                                                  qUtf8Printable(reply->errorString()));
                if (onError && isCurrent())
                    run(onError);
            });
    connect(reply, &QNetworkReply::finished, this,
            [reply, isCurrent, onFinishedWithError, onBody, run]() {
                reply->deleteLater();
                if (!isCurrent())
                    return;
                if (reply->error() != QNetworkReply::NoError) {
                    if (onFinishedWithError)
                        run(onFinishedWithError);
                    return;
                }
                run([&] { onBody(reply); });
            });
}

// ---- Statuses ----

NetworkUpdater::Status NetworkUpdater::getAppUpdateStatus() const
{
    switch (m_appStatus) {
    case UpdateStatus::None: return Status::None;
    case UpdateStatus::Failed: return Status::Failed;
    case UpdateStatus::Found: return Status::Available;
    case UpdateStatus::InProgress:
    case UpdateStatus::Downloaded: return Status::InProgress;
    case UpdateStatus::Saved: return Status::Ready;
    }
    return Status::None;
}

bool NetworkUpdater::readAppUpdateVersion(QString& out) const
{
    if (m_appStatus != UpdateStatus::Found && m_appStatus != UpdateStatus::Saved)
        return false;
    out = m_appVersion;
    return true;
}

NetworkUpdater::Status NetworkUpdater::getKestrinFwStatus(DeviceType type) const
{
    const KestrinFwStruct* rec = record(type);
    if (!rec)
        return Status::None;
    switch (rec->status) {
    case UpdateStatus::None: return Status::None;
    case UpdateStatus::Failed: return Status::Failed;
    case UpdateStatus::Found: return Status::Available; // firmware never takes this state
    case UpdateStatus::InProgress:
    case UpdateStatus::Downloaded: return Status::InProgress;
    case UpdateStatus::Saved: return Status::Ready;
    }
    return Status::None;
}

bool NetworkUpdater::hasKestrinFwUpdate(DeviceType type) const
{
    const KestrinFwStruct* rec = record(type);
    return rec && rec->status == UpdateStatus::Saved;
}

bool NetworkUpdater::readKestrinFwVersion(DeviceType type, QString& out) const
{
    if (!hasKestrinFwUpdate(type))
        return false;
    out = record(type)->version;
    return true;
}

QStringList NetworkUpdater::getAvailableKestrinFwNames(DeviceType type) const
{
    const KestrinFwStruct* rec = record(type);
    return rec ? rec->rollbackNames : QStringList();
}

bool NetworkUpdater::readKestrinFw(DeviceType type, KestrinHwType hwType, QString& out)
{
    if (!hasKestrinFwUpdate(type) || !Enumer<KestrinHwType>::IsValid(hwType))
        return false;
    out = getKestrinDir(type).absoluteFilePath(getFwFileName(hwType));
    return true;
}

bool NetworkUpdater::readKestrinHeadsetFw(DeviceType type, KestrinHwType hwType, QString& out)
{
    if (hwType == KestrinHwType::ps_dongle)
        hwType = KestrinHwType::ps_headset;
    else if (hwType == KestrinHwType::xbox_dongle)
        hwType = KestrinHwType::xbox_headset;
    return readKestrinFw(type, hwType, out);
}

bool NetworkUpdater::hasSolvarineFwUpdate() const
{
    return m_solvarineStatus == UpdateStatus::Saved;
}

void NetworkUpdater::setAppUpdateStatus(UpdateStatus status)
{
    m_appStatus = status;
    emit sigAppUpdateStatusChanged();
}

void NetworkUpdater::setKestrinFwStatus(DeviceType type, UpdateStatus status)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    rec->status = status;
    if ((status == UpdateStatus::Failed || status == UpdateStatus::Saved) && rec->recheck) {
        rec->recheck = false;
        checkForKestrinFw(type);
        return;
    }
    emit sigKestrinFwStatusChanged(type);
}

void NetworkUpdater::setSolvarineFwStatus(UpdateStatus status)
{
    m_solvarineStatus = status;
    emit sigSolvarineFwStatusChanged();
}

void NetworkUpdater::onAppUpdateFailed()
{
    m_appVersion = QString();
    m_appLink = QString();
    m_installer.clear();
    setAppUpdateStatus(UpdateStatus::Failed);
}

void NetworkUpdater::onKestrinFwFailed(DeviceType type)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    cancelImageDownloads(*rec, m_handledReply);
    rec->images.clear();
    rec->version.clear();
    setKestrinFwStatus(type, UpdateStatus::Failed);
}

void NetworkUpdater::onSolvarineFwFailed()
{
    m_solvarineImage.clear();
    setSolvarineFwStatus(UpdateStatus::Failed);
}

void NetworkUpdater::cancelImageDownloads(KestrinFwStruct& rec, QNetworkReply* except)
{
    const auto replies = std::exchange(rec.imageReplies, {});
    for (const QPointer<QNetworkReply>& reply : replies) {
        if (!reply || reply == except || reply->isFinished())
            continue;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

// ---- App update ----

void NetworkUpdater::checkForAppUpdate()
{
    if (m_appStatus == UpdateStatus::InProgress || m_appStatus == UpdateStatus::Downloaded)
        return;
    const uint64_t generation = ++m_appGeneration;
    setAppUpdateStatus(UpdateStatus::InProgress);

    QNetworkReply* reply = get(QUrl(m_endpoints.software + QLatin1String(c_path_app), QUrl::TolerantMode));
    handleReply(
        reply, [this, generation] { return generation == m_appGeneration; }, [this] { onAppUpdateFailed(); },
        [this] { onAppUpdateFailed(); }, [this](QNetworkReply* r) { onAppManifest(r); });
}

void NetworkUpdater::onAppManifest(QNetworkReply* reply)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &error);
    if (doc.isNull() || !doc.isObject()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading app update JSON error: %s",
                                          qUtf8Printable(doc.isNull() ? error.errorString()
                                                                      : QStringLiteral("not an object")));
        onAppUpdateFailed();
        return;
    }
    const QJsonObject root = doc.object();
    const QString version = root.value(c_key_app_version).toString();
    const QString link = root.value(c_key_app_link).toString();
    if (version.isEmpty() || link.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "App update JSON has no %s", version.isEmpty()
                                                                                        ? "version"
                                                                                        : "installer link");
        onAppUpdateFailed();
        return;
    }
    m_appVersion = version;
    m_appLink = link;

    QString savedName;
    if (isAppUpdateSaved(m_appVersion, savedName)) {
        m_installerFileName = savedName;
        GlobalLogger::Instance()->message(QtDebugMsg, "App update version %s is already saved",
                                          qUtf8Printable(m_appVersion));
        setAppUpdateStatus(UpdateStatus::Saved);
    } else {
        deleteSavedAppUpdate();
        GlobalLogger::Instance()->message(QtDebugMsg, "App update version %s found", qUtf8Printable(m_appVersion));
        setAppUpdateStatus(UpdateStatus::Found);
    }
}

void NetworkUpdater::downloadAppUpdate()
{
    if (m_appStatus != UpdateStatus::Found)
        return;
    const uint64_t generation = ++m_appGeneration;
    setAppUpdateStatus(UpdateStatus::InProgress);

    QNetworkRequest request(QUrl(m_appLink, QUrl::TolerantMode));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (m_sslConfiguration)
        request.setSslConfiguration(*m_sslConfiguration);
    QNetworkReply* reply = m_manager->get(request);
    handleReply(
        reply, [this, generation] { return generation == m_appGeneration; }, [this] { onAppUpdateFailed(); },
        [this] { onAppUpdateFailed(); }, [this](QNetworkReply* r) { onAppInstaller(r); });
}

void NetworkUpdater::onAppInstaller(QNetworkReply* reply)
{
    m_installer = reply->readAll();
    QString problem;
    if (!IsCompleteBody(reply, m_installer, problem) || m_installer.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "App update installer from %s is incomplete: %s",
                                          qUtf8Printable(ForLog(reply->url())),
                                          problem.isEmpty() ? "empty" : qUtf8Printable(problem));
        onAppUpdateFailed();
        return;
    }
    // The name of the file finally reached, after any redirection.
    const QString name = QFileInfo(reply->url().path(QUrl::FullyDecoded)).fileName();
    if (!IsPlainFileName(name) || name == c_app_marker) {
        GlobalLogger::Instance()->message(QtWarningMsg, "App update installer URL %s names no usable file",
                                          qUtf8Printable(ForLog(reply->url())));
        onAppUpdateFailed();
        return;
    }
    m_installerFileName = name;
    GlobalLogger::Instance()->message(QtDebugMsg, "App update version %s downloaded", qUtf8Printable(m_appVersion));
    m_appStatus = UpdateStatus::Downloaded;

    const bool saved = saveAppUpdateFiles();
    GlobalLogger::Instance()->message(QtDebugMsg, "Saving app update version %s to disk %s",
                                      qUtf8Printable(m_appVersion), Utils::GetStrSuccessFail(saved));
    if (saved)
        setAppUpdateStatus(UpdateStatus::Saved);
    else
        onAppUpdateFailed();
}

// ---- News ----

void NetworkUpdater::checkForNotifications()
{
    QNetworkReply* reply =
        get(QUrl(m_endpoints.software + QLatin1String(c_path_notifications), QUrl::TolerantMode));
    handleReply(
        reply, [] { return true; }, nullptr, nullptr,
        [this](QNetworkReply* r) {
            m_notifications = Notification::FromJson(r->readAll(), false);
            emit sigNotificationsUpdated();
        });
}

// ---- Headset firmware ----

void NetworkUpdater::checkForKestrinFw(DeviceType type)
{
    KestrinFwStruct* rec = record(type);
    if (!rec || rec->status == UpdateStatus::InProgress || rec->status == UpdateStatus::Downloaded)
        return;
    if (rec->status == UpdateStatus::Saved) {
        rec->images.clear();
        rec->version.clear();
    }
    cancelImageDownloads(*rec, m_handledReply);
    const uint64_t generation = ++rec->generation;
    setKestrinFwStatus(type, UpdateStatus::InProgress);

    const QUrl url = rec->overrideUrl.isEmpty() ? QUrl(rec->defaultUrl, QUrl::TolerantMode) : rec->overrideUrl;
    QNetworkReply* reply = get(url);
    handleReply(
        reply, [rec, generation] { return generation == rec->generation; },
        [this, type] { setKestrinFwStatus(type, UpdateStatus::Failed); }, [this, type] { onKestrinFwFailed(type); },
        [this, type](QNetworkReply* r) { onKestrinManifest(type, r); });
}

void NetworkUpdater::onKestrinManifest(DeviceType type, QNetworkReply* reply)
{
    KestrinFwStruct& rec = *record(type);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &error);
    if (doc.isNull() || !doc.isObject()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading %s FW JSON error: %s", TypeName(type).constData(),
                                          qUtf8Printable(doc.isNull() ? error.errorString()
                                                                      : QStringLiteral("not an object")));
        onKestrinFwFailed(type);
        return;
    }
    const QJsonObject root = doc.object();
    rec.version = root.value(c_key_version).toString();
    if (rec.version.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "%s FW JSON has no version", TypeName(type).constData());
        onKestrinFwFailed(type);
        return;
    }
    if (isKestrinFwSaved(type, rec.version)) {
        GlobalLogger::Instance()->message(QtDebugMsg, "%s FW version %s is already saved", TypeName(type).constData(),
                                          qUtf8Printable(rec.version));
        setKestrinFwStatus(type, UpdateStatus::Saved);
        return;
    }

    std::vector<std::pair<KestrinHwType, QUrl>> links;
    for (KestrinHwType hwType : Enumer<KestrinHwType>::Values()) {
        const QString link = root.value(Enumer<KestrinHwType>::NameOrNull(hwType)).toString();
        rec.images[hwType] = QByteArray();
        if (link.isEmpty()) {
            GlobalLogger::Instance()->message(QtWarningMsg, "%s FW JSON has no %s link", TypeName(type).constData(),
                                              HwName(hwType).constData());
            onKestrinFwFailed(type);
            return;
        }
        links.emplace_back(hwType, QUrl(link, QUrl::TolerantMode));
    }

    const uint64_t generation = rec.generation;
    for (const auto& [hwType, url] : links) {
        QNetworkReply* image = get(url);
        rec.imageReplies.append(image);
        const KestrinHwType hw = hwType;
        handleReply(
            image, [&rec, generation] { return generation == rec.generation; },
            [this, type] { onKestrinFwFailed(type); }, [this, type] { onKestrinFwFailed(type); },
            [this, type, hw](QNetworkReply* r) { onKestrinImage(type, hw, r); });
    }
}

void NetworkUpdater::onKestrinImage(DeviceType type, KestrinHwType hwType, QNetworkReply* reply)
{
    KestrinFwStruct& rec = *record(type);
    if (rec.images.empty())
        return; // another image of this check failed already
    QByteArray& slot = rec.images[hwType];
    slot = reply->readAll();
    QString problem;
    if (slot.isEmpty() || !IsCompleteBody(reply, slot, problem)) {
        GlobalLogger::Instance()->message(QtWarningMsg, "%s FW image %s from %s is incomplete: %s",
                                          TypeName(type).constData(), HwName(hwType).constData(),
                                          qUtf8Printable(ForLog(reply->url())),
                                          problem.isEmpty() ? "empty" : qUtf8Printable(problem));
        onKestrinFwFailed(type);
        return;
    }
    for (const auto& [hw, bytes] : rec.images) {
        if (bytes.isEmpty())
            return; // the other images are still on their way
    }
    rec.imageReplies.clear();
    GlobalLogger::Instance()->message(QtDebugMsg, "%s FW version %s found", TypeName(type).constData(),
                                      qUtf8Printable(rec.version));
    rec.status = UpdateStatus::Downloaded;
    const bool saved = saveKestrinFwFiles(type);
    GlobalLogger::Instance()->message(QtDebugMsg, "Saving %s FW version %s to disk %s", TypeName(type).constData(),
                                      qUtf8Printable(rec.version), Utils::GetStrSuccessFail(saved));
    if (saved)
        setKestrinFwStatus(type, UpdateStatus::Saved);
    else
        onKestrinFwFailed(type);
}

void NetworkUpdater::forceCheckForKestrinFw(DeviceType type)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    if (getKestrinFwStatus(type) == Status::InProgress)
        rec->recheck = true;
    else
        checkForKestrinFw(type);
}

void NetworkUpdater::overrideKestrinFwUrl(DeviceType type, const QUrl& url)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    rec->overrideUrl = url;
    forceCheckForKestrinFw(type);
}

void NetworkUpdater::setKestrinRollbackIndex(DeviceType type, int index)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    const bool listed = index >= 0 && size_t(index) < rec->rollbackLinks.size();
    overrideKestrinFwUrl(type, listed ? rec->rollbackLinks[size_t(index)] : QUrl());
}

void NetworkUpdater::checkForKestrinRollbackFws(DeviceType type, KestrinRevision revision)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    rec->rollbackNames.clear();
    rec->rollbackLinks.clear();
    const uint64_t generation = ++rec->rollbackGeneration;

    QString url;
    switch (type) {
    case DeviceType::kestrin:
        if (revision == 0)
            url = m_endpoints.kestrin + QLatin1String(c_path_kestrin_old_rollback);
        else if (revision == 1)
            url = m_endpoints.kestrin + QLatin1String(c_path_kestrin_new_rollback);
        else
            return;
        break;
    case DeviceType::kestrin_2: url = m_endpoints.kestrin2 + QLatin1String(c_path_kestrin_2_rollback); break;
    case DeviceType::kestrin_2_anc: url = m_endpoints.kestrin2 + QLatin1String(c_path_kestrin_2_anc_rollback); break;
    default: return;
    }

    QNetworkReply* reply = get(QUrl(url, QUrl::TolerantMode));
    handleReply(
        reply, [rec, generation] { return generation == rec->rollbackGeneration; }, nullptr, nullptr,
        [this, type](QNetworkReply* r) { onKestrinRollbackList(type, r); });
}

void NetworkUpdater::onKestrinRollbackList(DeviceType type, QNetworkReply* reply)
{
    KestrinFwStruct& rec = *record(type);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &error);
    if (doc.isNull() || !doc.isObject()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading %s Rollback JSON error %s",
                                          TypeName(type).constData(),
                                          qUtf8Printable(doc.isNull() ? error.errorString()
                                                                      : QStringLiteral("not an object")));
        return;
    }
    QStringList names;
    std::vector<QUrl> links;
    const QJsonArray entries = doc.object().value(c_key_firmwares).toArray();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const QUrl link(entry.value(c_key_link).toString(), QUrl::TolerantMode);
        if (!link.isValid())
            continue;
        names.append(entry.value(c_key_version).toString());
        links.push_back(link);
    }
    rec.rollbackNames = names;
    rec.rollbackLinks = std::move(links);
}

// ---- Serial-device firmware ----

void NetworkUpdater::checkForSolvarineFw()
{
    if (m_solvarineStatus == UpdateStatus::InProgress || m_solvarineStatus == UpdateStatus::Downloaded)
        return;
    if (m_solvarineStatus == UpdateStatus::Saved) {
        m_solvarineImage.clear();
        m_solvarineVersion.clear();
    }
    const uint64_t generation = ++m_solvarineGeneration;
    setSolvarineFwStatus(UpdateStatus::InProgress);

    QNetworkReply* reply = get(QUrl(m_endpoints.solvarine + QLatin1String(c_path_solvarine_fw), QUrl::TolerantMode));
    handleReply(
        reply, [this, generation] { return generation == m_solvarineGeneration; },
        [this] { setSolvarineFwStatus(UpdateStatus::Failed); }, [this] { onSolvarineFwFailed(); },
        [this](QNetworkReply* r) { onSolvarineManifest(r); });
}

void NetworkUpdater::onSolvarineManifest(QNetworkReply* reply)
{
    const QByteArray name = TypeName(DeviceType::solvarine);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &error);
    if (doc.isNull() || !doc.isObject()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading %s FW JSON error: %s", name.constData(),
                                          qUtf8Printable(doc.isNull() ? error.errorString()
                                                                      : QStringLiteral("not an object")));
        onSolvarineFwFailed();
        return;
    }
    const QJsonObject root = doc.object();
    m_solvarineVersion = root.value(c_key_version).toString();
    m_solvarineLink = QUrl(root.value(c_key_link).toString(), QUrl::TolerantMode);
    if (m_solvarineVersion.isEmpty() || m_solvarineLink.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "%s FW JSON has no %s", name.constData(),
                                          m_solvarineVersion.isEmpty() ? "version" : "link");
        onSolvarineFwFailed();
        return;
    }
    if (isSolvarineFwSaved(m_solvarineVersion)) {
        GlobalLogger::Instance()->message(QtDebugMsg, "%s FW version %s is already saved", name.constData(),
                                          qUtf8Printable(m_solvarineVersion));
        setSolvarineFwStatus(UpdateStatus::Saved);
        return;
    }

    const uint64_t generation = m_solvarineGeneration;
    QNetworkReply* image = get(m_solvarineLink);
    handleReply(
        image, [this, generation] { return generation == m_solvarineGeneration; },
        [this] { onSolvarineFwFailed(); }, [this] { onSolvarineFwFailed(); },
        [this](QNetworkReply* r) { onSolvarineImage(r); });
}

void NetworkUpdater::onSolvarineImage(QNetworkReply* reply)
{
    const QByteArray name = TypeName(DeviceType::solvarine);
    m_solvarineImage = reply->readAll();
    QString problem;
    if (m_solvarineImage.isEmpty() || !IsCompleteBody(reply, m_solvarineImage, problem)) {
        GlobalLogger::Instance()->message(QtWarningMsg, "%s FW image from %s is incomplete: %s", name.constData(),
                                          qUtf8Printable(ForLog(reply->url())),
                                          problem.isEmpty() ? "empty" : qUtf8Printable(problem));
        onSolvarineFwFailed();
        return;
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "%s FW version %s found", name.constData(),
                                      qUtf8Printable(m_solvarineVersion));
    m_solvarineStatus = UpdateStatus::Downloaded;
    const bool saved = saveSolvarineFwFiles();
    GlobalLogger::Instance()->message(QtDebugMsg, "Saving %s FW version %s to disk %s", name.constData(),
                                      qUtf8Printable(m_solvarineVersion), Utils::GetStrSuccessFail(saved));
    if (saved)
        setSolvarineFwStatus(UpdateStatus::Saved);
    else
        onSolvarineFwFailed();
}

} // namespace Platform
