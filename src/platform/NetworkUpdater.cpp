#include "platform/NetworkUpdater.h"

#include "core/GlobalLogger.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>

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
// The slot of the installer among the app channel's downloads.
const QLatin1String c_installer("installer");

QByteArray TypeName(DeviceType type)
{
    return Enumer<DeviceType>::NameOrNull(type).toUtf8();
}

NetworkUpdater::Status Report(UpdateStatus status)
{
    switch (status) {
    case UpdateStatus::None: return NetworkUpdater::Status::None;
    case UpdateStatus::Failed: return NetworkUpdater::Status::Failed;
    case UpdateStatus::Found: return NetworkUpdater::Status::Available; // firmware never takes this state
    case UpdateStatus::InProgress:
    case UpdateStatus::Downloaded: return NetworkUpdater::Status::InProgress;
    case UpdateStatus::Saved: return NetworkUpdater::Status::Ready;
    }
    return NetworkUpdater::Status::None;
}

// The cache folder, marker and log lines of a firmware item, named by its DeviceType.
UpdateChannel::Traits FirmwareTraits(DeviceType type)
{
    const QString name = Enumer<DeviceType>::NameOrNull(type);
    UpdateChannel::Traits traits;
    traits.folder = name;
    traits.marker = NetworkUpdater::FirmwareMarkerName;
    traits.recordFiles = true;
    traits.savedLine = name + QLatin1String(" FW version %1 is already saved");
    traits.arrivedLine = name + QLatin1String(" FW version %1 found");
    traits.savingLine = QLatin1String("Saving ") + name + QLatin1String(" FW version %1 to disk %2");
    traits.saveSubject = name;
    return traits;
}

// The root object of a manifest; nothing, with the reason in `problem`, when the body is not
// a JSON object.
std::optional<QJsonObject> RootObject(const QByteArray& body, QString& problem)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (doc.isObject())
        return doc.object();
    problem = doc.isNull() ? error.errorString() : QStringLiteral("not an object");
    return std::nullopt;
}

} // namespace

NetworkUpdater::NetworkUpdater(QObject* parent)
    : NetworkUpdater(Endpoints::Product(), parent)
{
}

NetworkUpdater::NetworkUpdater(const Endpoints& endpoints, QObject* parent)
    : QObject(parent)
    , m_endpoints(endpoints)
    , m_fetcher(this)
    , m_app(m_fetcher, appTraits())
    , m_solvarine(m_fetcher, solvarineTraits())
{
    // After an installed update the running version's installer is of no further use.
    QString savedName;
    if (isAppUpdateSaved(QCoreApplication::applicationVersion(), savedName))
        deleteSavedAppUpdate();

    addKestrinRecord(DeviceType::kestrin, m_endpoints.kestrin + QLatin1String(c_path_kestrin_fw));
    addKestrinRecord(DeviceType::kestrin_2, m_endpoints.kestrin2 + QLatin1String(c_path_kestrin_2_fw));
    addKestrinRecord(DeviceType::kestrin_2_anc, m_endpoints.kestrin2 + QLatin1String(c_path_kestrin_2_anc_fw));
}

NetworkUpdater::~NetworkUpdater()
{
    // Requests still running end here, without running their handlers.
    m_fetcher.abortAll();
}

UpdateChannel::Traits NetworkUpdater::appTraits()
{
    UpdateChannel::Traits traits;
    traits.folder = c_app_update_folder;
    traits.marker = AppMarkerName;
    traits.savedLine = QStringLiteral("App update version %1 is already saved");
    traits.arrivedLine = QStringLiteral("App update version %1 downloaded");
    traits.savingLine = QStringLiteral("Saving app update version %1 to disk %2");
    traits.saveSubject = QStringLiteral("the app update");
    // The installer keeps the file name of the URL it came from, which "ver" records after the version.
    traits.arrived = [this] { m_installerFileName = m_app.downloadedName(c_installer); };
    traits.markerContent = [this] { return m_app.version.toLatin1() + '\n' + m_installerFileName.toUtf8(); };
    traits.notify = [this] { emit sigAppUpdateStatusChanged(); };
    traits.forget = [this] {
        m_app.version = QString();
        m_appLink = QString();
    };
    return traits;
}

UpdateChannel::Traits NetworkUpdater::solvarineTraits()
{
    UpdateChannel::Traits traits = FirmwareTraits(DeviceType::solvarine);
    traits.notify = [this] { emit sigSolvarineFwStatusChanged(); };
    traits.forget = [this] { m_solvarineImage.clear(); };
    traits.forgetSaved = [this] {
        m_solvarineImage.clear();
        m_solvarine.version.clear();
    };
    return traits;
}

void NetworkUpdater::addKestrinRecord(DeviceType type, const QString& manifestUrl)
{
    UpdateChannel::Traits traits = FirmwareTraits(type);
    traits.notify = [this, type] { emit sigKestrinFwStatusChanged(type); };
    traits.forget = [this, type] { record(type)->channel.version.clear(); };
    traits.forgetSaved = traits.forget;
    traits.recheck = [this, type] { checkForKestrinFw(type); };
    m_kestrin.try_emplace(type, m_fetcher, std::move(traits), manifestUrl);
}

void NetworkUpdater::setSslConfiguration(const QSslConfiguration& configuration)
{
    m_fetcher.setSslConfiguration(configuration);
}

void NetworkUpdater::setTransferTimeout(int milliseconds)
{
    m_fetcher.manager()->setTransferTimeout(milliseconds);
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

// ---- Statuses ----

NetworkUpdater::Status NetworkUpdater::getAppUpdateStatus() const
{
    return Report(m_app.status());
}

bool NetworkUpdater::readAppUpdateVersion(QString& out) const
{
    if (m_app.status() != UpdateStatus::Found && m_app.status() != UpdateStatus::Saved)
        return false;
    out = m_app.version;
    return true;
}

NetworkUpdater::Status NetworkUpdater::getKestrinFwStatus(DeviceType type) const
{
    const KestrinFwStruct* rec = record(type);
    return rec ? Report(rec->channel.status()) : Status::None;
}

bool NetworkUpdater::hasKestrinFwUpdate(DeviceType type) const
{
    const KestrinFwStruct* rec = record(type);
    return rec && rec->channel.status() == UpdateStatus::Saved;
}

bool NetworkUpdater::readKestrinFwVersion(DeviceType type, QString& out) const
{
    if (!hasKestrinFwUpdate(type))
        return false;
    out = record(type)->channel.version;
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
    out = record(type)->channel.dir().absoluteFilePath(getFwFileName(hwType));
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
    return m_solvarine.status() == UpdateStatus::Saved;
}

std::optional<QJsonObject> NetworkUpdater::readFwManifest(UpdateChannel& channel, DeviceType type,
                                                          const QByteArray& body)
{
    QString problem;
    std::optional<QJsonObject> root = RootObject(body, problem);
    if (!root) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading %s FW JSON error: %s", TypeName(type).constData(),
                                          qUtf8Printable(problem));
        channel.fail();
        return std::nullopt;
    }
    channel.version = root->value(c_key_version).toString();
    if (channel.version.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "%s FW JSON has no version", TypeName(type).constData());
        channel.fail();
        return std::nullopt;
    }
    return root;
}

// ---- App update ----

void NetworkUpdater::checkForAppUpdate()
{
    // Version, link and file name of an earlier check stay until the reply.
    const std::optional<uint64_t> generation = m_app.beginCheck();
    if (!generation)
        return;
    m_app.fetchManifest(
        QUrl(m_endpoints.software + QLatin1String(c_path_app), QUrl::TolerantMode), "app update descriptor",
        m_limits.manifest, *generation, [this] { m_app.fail(); },
        [this](const QByteArray& body) { onAppManifest(body); });
}

void NetworkUpdater::onAppManifest(const QByteArray& body)
{
    QString problem;
    const std::optional<QJsonObject> root = RootObject(body, problem);
    if (!root) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading app update JSON error: %s", qUtf8Printable(problem));
        m_app.fail();
        return;
    }
    const QString version = root->value(c_key_app_version).toString();
    const QString link = root->value(c_key_app_link).toString();
    if (version.isEmpty() || link.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "App update JSON has no %s",
                                          version.isEmpty() ? "version" : "installer link");
        m_app.fail();
        return;
    }
    m_app.version = version;
    m_appLink = link;

    QString savedName;
    if (isAppUpdateSaved(m_app.version, savedName)) {
        m_installerFileName = savedName;
        m_app.settleSaved();
    } else {
        deleteSavedAppUpdate();
        GlobalLogger::Instance()->message(QtDebugMsg, QStringLiteral("App update version %1 found").arg(m_app.version));
        m_app.setStatus(UpdateStatus::Found);
    }
}

void NetworkUpdater::downloadAppUpdate()
{
    if (m_app.status() != UpdateStatus::Found)
        return;
    m_app.begin();
    m_app.setStatus(UpdateStatus::InProgress);

    UpdateChannel::File installer;
    installer.key = c_installer;
    installer.url = QUrl(m_appLink, QUrl::TolerantMode);
    installer.what = "app update installer";
    installer.label = QStringLiteral("app update installer");
    installer.limit = m_limits.installer;
    // Redirects are followed unless they lead to a less safe scheme.
    installer.followRedirects = true;
    // The data comes from the URL finally reached, after any redirection: its file name is the
    // installer's.
    installer.fileName = [](QNetworkReply* reply) {
        return QFileInfo(reply->url().path(QUrl::FullyDecoded)).fileName();
    };
    m_app.fetchFiles({installer});
}

// ---- News ----

void NetworkUpdater::checkForNotifications()
{
    if (m_newsReply && !m_newsReply->isFinished()) {
        GlobalLogger::Instance()->message(QtDebugMsg, "A news check runs already; no other is started");
        return;
    }
    QNetworkReply* reply = m_fetcher.get(
        QUrl(m_endpoints.software + QLatin1String(c_path_notifications), QUrl::TolerantMode), "news feed");
    if (!reply)
        return;
    m_newsReply = reply; // cleared when the reply is deleted, at its end
    m_fetcher.handle(reply, UpdateFetcher::Body{"news feed", m_limits.feed, nullptr},
                     UpdateFetcher::Steps{[] { return true; }, nullptr, nullptr,
                                          [this](QNetworkReply*, const QByteArray& body) {
                                              m_notifications = Notification::FromJson(body, false);
                                              emit sigNotificationsUpdated();
                                          }});
}

// ---- Headset firmware ----

void NetworkUpdater::checkForKestrinFw(DeviceType type)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    UpdateChannel& channel = rec->channel;
    const std::optional<uint64_t> generation = channel.beginCheck();
    if (!generation)
        return;
    const QUrl url = rec->overrideUrl.isEmpty() ? QUrl(rec->defaultUrl, QUrl::TolerantMode) : rec->overrideUrl;
    channel.fetchManifest(
        url, "firmware manifest", m_limits.manifest, *generation,
        [&channel] { channel.setStatus(UpdateStatus::Failed); },
        [this, type](const QByteArray& body) { onKestrinManifest(type, body); });
}

void NetworkUpdater::onKestrinManifest(DeviceType type, const QByteArray& body)
{
    UpdateChannel& channel = record(type)->channel;
    const std::optional<QJsonObject> root = readFwManifest(channel, type, body);
    if (!root)
        return;
    if (isKestrinFwSaved(type, channel.version)) {
        channel.settleSaved();
        return;
    }

    std::vector<UpdateChannel::File> images;
    for (KestrinHwType hwType : Enumer<KestrinHwType>::Values()) {
        const QString hwName = Enumer<KestrinHwType>::NameOrNull(hwType);
        const QString link = root->value(hwName).toString();
        channel.addFile(getFwFileName(hwType));
        if (link.isEmpty()) {
            GlobalLogger::Instance()->message(QtWarningMsg, "%s FW JSON has no %s link", TypeName(type).constData(),
                                              qUtf8Printable(hwName));
            channel.fail();
            return;
        }
        UpdateChannel::File image;
        image.key = getFwFileName(hwType);
        image.url = QUrl(link, QUrl::TolerantMode);
        image.what = "firmware image";
        image.label = QString::fromUtf8(TypeName(type)) + QLatin1String(" FW image ") + hwName;
        image.limit = m_limits.image;
        images.push_back(image);
    }
    channel.fetchFiles(images);
}

void NetworkUpdater::forceCheckForKestrinFw(DeviceType type)
{
    KestrinFwStruct* rec = record(type);
    if (!rec)
        return;
    if (getKestrinFwStatus(type) == Status::InProgress)
        rec->channel.askRecheck();
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

    QNetworkReply* reply = m_fetcher.get(QUrl(url, QUrl::TolerantMode), "rollback list");
    if (!reply)
        return;
    m_fetcher.handle(reply, UpdateFetcher::Body{"rollback list", m_limits.manifest, nullptr},
                     UpdateFetcher::Steps{
                         [rec, generation] { return generation == rec->rollbackGeneration; }, nullptr, nullptr,
                         [this, type](QNetworkReply*, const QByteArray& body) { onKestrinRollbackList(type, body); }});
}

void NetworkUpdater::onKestrinRollbackList(DeviceType type, const QByteArray& body)
{
    KestrinFwStruct& rec = *record(type);
    QString problem;
    const std::optional<QJsonObject> root = RootObject(body, problem);
    if (!root) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading %s Rollback JSON error %s", TypeName(type).constData(),
                                          qUtf8Printable(problem));
        return;
    }
    QStringList names;
    std::vector<QUrl> links;
    const QJsonArray entries = root->value(c_key_firmwares).toArray();
    for (const QJsonValue value : entries) {
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
    const std::optional<uint64_t> generation = m_solvarine.beginCheck();
    if (!generation)
        return;
    m_solvarine.fetchManifest(
        QUrl(m_endpoints.solvarine + QLatin1String(c_path_solvarine_fw), QUrl::TolerantMode), "firmware manifest",
        m_limits.manifest, *generation, [this] { m_solvarine.setStatus(UpdateStatus::Failed); },
        [this](const QByteArray& body) { onSolvarineManifest(body); });
}

void NetworkUpdater::onSolvarineManifest(const QByteArray& body)
{
    const std::optional<QJsonObject> root = readFwManifest(m_solvarine, DeviceType::solvarine, body);
    if (!root)
        return;
    m_solvarineLink = QUrl(root->value(c_key_link).toString(), QUrl::TolerantMode);
    if (m_solvarineLink.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "%s FW JSON has no link",
                                          TypeName(DeviceType::solvarine).constData());
        m_solvarine.fail();
        return;
    }
    if (isSolvarineFwSaved(m_solvarine.version)) {
        m_solvarine.settleSaved();
        return;
    }

    UpdateChannel::File image;
    image.key = getSolvarineFwFileName();
    image.url = m_solvarineLink;
    image.what = "firmware image";
    image.label = QString::fromUtf8(TypeName(DeviceType::solvarine)) + QLatin1String(" FW image");
    image.limit = m_limits.serialImage;
    m_solvarine.fetchFiles({image});
}

} // namespace Platform
