#include "platform/NetworkUpdater.h"

#include "core/GlobalLogger.h"
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

// Why a body cannot be taken as the server's whole answer, judged once it has ended; empty when it
// can. `binary` bodies must have had their length announced, or come in chunks that ended: a
// connection that is merely closed may have been cut.
QString IncompleteBody(QNetworkReply* reply, qint64 received, bool binary)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() != 200)
        return QStringLiteral("HTTP status %1").arg(status.toInt());
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid()) {
        if (length.toLongLong() != received)
            return QStringLiteral("%1 of the %2 bytes announced arrived").arg(received).arg(length.toLongLong());
        return QString();
    }
    if (binary && !reply->rawHeader("Transfer-Encoding").toLower().contains("chunked"))
        return QStringLiteral("the server announced no length and sent no chunks, so the %1 bytes received "
                              "cannot be known to be all of it")
            .arg(received);
    return QString();
}

// Why the headers of a body rule it out before it arrives; empty when they do not.
QString RefusedHeaders(QNetworkReply* reply, qint64 limit)
{
    // Every request asks for a plain body; an encoded one is not unpacked.
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed();
    if (!encoding.isEmpty() && encoding.toLower() != "identity")
        return QStringLiteral("the server sent a body compressed as \"%1\" although only a plain one was asked "
                              "for; compressed bodies are not unpacked")
            .arg(QString::fromLatin1(encoding));
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limit)
        return QStringLiteral("the server announced %1 bytes, more than the %2 accepted")
            .arg(length.toLongLong())
            .arg(limit);
    return QString();
}

QString ForLog(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
}

} // namespace

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

QNetworkReply* NetworkUpdater::get(const QUrl& url, const char* what, bool followRedirects)
{
    // A manifest may name anything; only what comes over TLS from a verified host is taken.
    if (url.scheme() != QLatin1String("https")) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Refused to fetch the %s from \"%s\": only https links are followed",
                                          what, qUtf8Printable(ForLog(url)));
        return nullptr;
    }
    QNetworkRequest request(url);
    // Bodies are bounded as they arrive, which an unpacked body would escape.
    request.setRawHeader("Accept-Encoding", "identity");
    if (followRedirects)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (m_sslConfiguration)
        request.setSslConfiguration(*m_sslConfiguration);
    return m_manager->get(request);
}

QString NetworkUpdater::describeError(QNetworkReply* reply) const
{
    if (reply->error() == QNetworkReply::OperationCanceledError && m_manager->transferTimeout() > 0)
        return QStringLiteral("timed out: no data for %1 s").arg(m_manager->transferTimeout() / 1000.0);
    return reply->errorString();
}

void NetworkUpdater::handleReply(QNetworkReply* reply, Body body, std::function<bool()> isCurrent, Action onError,
                                 Action onFinishedWithError,
                                 std::function<void(QNetworkReply*, const QByteArray&)> onBody)
{
    // What arrived so far, and why the body was stopped, if it was.
    struct State {
        QByteArray text;
        qint64 received = 0;
        QString refusal;
    };
    const auto state = std::make_shared<State>();

    // Marks the reply whose handler runs, so that cancelling the other downloads spares it.
    auto run = [this, reply](const auto& action) {
        QNetworkReply* const outer = m_handledReply;
        m_handledReply = reply;
        action();
        m_handledReply = outer;
    };
    auto refuse = [reply, state](const QString& why) {
        state->refusal = why;
        if (!reply->isFinished())
            reply->abort(); // reports OperationCanceledError, then finishes
    };
    // Takes what has arrived; false once the body has been refused.
    auto take = [this, reply, body, state, isCurrent, refuse, run]() {
        if (!state->refusal.isEmpty() || reply->error() != QNetworkReply::NoError)
            return false;
        const QString headers = RefusedHeaders(reply, body.limit);
        if (!headers.isEmpty()) {
            refuse(headers);
            return false;
        }
        const QByteArray piece = reply->readAll();
        if (piece.isEmpty())
            return true;
        state->received += piece.size();
        if (state->received > body.limit) {
            refuse(QStringLiteral("the body passed the %1 bytes accepted").arg(body.limit));
            return false;
        }
        // An error page is counted against the limit, never kept.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && status.toInt() != 200)
            return true;
        if (!body.write) {
            state->text += piece;
            return true;
        }
        if (!isCurrent())
            return true;
        QString problem;
        bool written = false;
        run([&] { written = body.write(reply, piece, problem); });
        if (!written) {
            refuse(problem);
            return false;
        }
        return true;
    };

    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, body, refuse] {
        if (reply->error() != QNetworkReply::NoError)
            return;
        const QString headers = RefusedHeaders(reply, body.limit);
        if (!headers.isEmpty())
            refuse(headers);
    });
    connect(reply, &QNetworkReply::readyRead, this, [take] { take(); });
    connect(reply, &QNetworkReply::errorOccurred, this,
            [this, reply, body, state, isCurrent, onError, run](QNetworkReply::NetworkError code) {
                reply->deleteLater();
                GlobalLogger::Instance()->message(QtDebugMsg, "Network Error, %d", int(code));
                const QString why = state->refusal.isEmpty() ? describeError(reply) : state->refusal;
                GlobalLogger::Instance()->message(QtWarningMsg, "Request for the %s at %s failed: %s", body.what,
                                                  qUtf8Printable(ForLog(reply->url())), qUtf8Printable(why));
                if (onError && isCurrent())
                    run(onError);
            });
    connect(reply, &QNetworkReply::finished, this,
            [reply, body, state, isCurrent, onFinishedWithError, onBody, run, take]() {
                reply->deleteLater();
                if (!isCurrent())
                    return;
                if (reply->error() != QNetworkReply::NoError) {
                    if (onFinishedWithError)
                        run(onFinishedWithError);
                    return;
                }
                if (!take()) { // refused by its very last piece
                    GlobalLogger::Instance()->message(QtWarningMsg, "Request for the %s at %s failed: %s", body.what,
                                                      qUtf8Printable(ForLog(reply->url())),
                                                      qUtf8Printable(state->refusal));
                    if (onFinishedWithError)
                        run(onFinishedWithError);
                    return;
                }
                const QString incomplete = IncompleteBody(reply, state->received, bool(body.write));
                if (!incomplete.isEmpty()) {
                    GlobalLogger::Instance()->message(QtWarningMsg, "The %s from %s is incomplete: %s", body.what,
                                                      qUtf8Printable(ForLog(reply->url())),
                                                      qUtf8Printable(incomplete));
                    if (onFinishedWithError)
                        run(onFinishedWithError);
                    return;
                }
                const QByteArray text = std::exchange(state->text, QByteArray());
                run([&] { onBody(reply, text); });
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
    m_installer.reset(); // a partly written installer is removed
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
    m_solvarineDownload.reset();
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

    QNetworkReply* reply =
        get(QUrl(m_endpoints.software + QLatin1String(c_path_app), QUrl::TolerantMode), "app update descriptor");
    if (!reply) {
        onAppUpdateFailed();
        return;
    }
    handleReply(
        reply, Body{"app update descriptor", m_limits.manifest, nullptr},
        [this, generation] { return generation == m_appGeneration; }, [this] { onAppUpdateFailed(); },
        [this] { onAppUpdateFailed(); }, [this](QNetworkReply*, const QByteArray& body) { onAppManifest(body); });
}

void NetworkUpdater::onAppManifest(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
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
    m_installer.reset();

    // Redirects are followed unless they lead to a less safe scheme.
    QNetworkReply* reply = get(QUrl(m_appLink, QUrl::TolerantMode), "app update installer", true);
    if (!reply) {
        onAppUpdateFailed();
        return;
    }
    handleReply(
        reply,
        Body{"app update installer", m_limits.installer,
             [this](QNetworkReply* r, const QByteArray& piece, QString& problem) {
                 return writeInstaller(r, piece, problem);
             }},
        [this, generation] { return generation == m_appGeneration; }, [this] { onAppUpdateFailed(); },
        [this] { onAppUpdateFailed(); }, [this](QNetworkReply* r, const QByteArray&) { onAppInstaller(r); });
}

bool NetworkUpdater::writeInstaller(QNetworkReply* reply, const QByteArray& piece, QString& problem)
{
    QString path;
    if (!m_installer) {
        // The data comes from the URL finally reached, after any redirection: its file name is the
        // installer's.
        const QString name = QFileInfo(reply->url().path(QUrl::FullyDecoded)).fileName();
        if (!IsPlainFileName(name) || name == c_app_marker) {
            problem = QStringLiteral("its URL names no usable file name");
            return false;
        }
        path = getAppUpdateDir().absoluteFilePath(name);
    }
    return WriteDownloadPiece(m_installer, path, piece, problem);
}

void NetworkUpdater::onAppInstaller(QNetworkReply* reply)
{
    if (!m_installer) {
        GlobalLogger::Instance()->message(QtWarningMsg, "The app update installer from %s is empty",
                                          qUtf8Printable(ForLog(reply->url())));
        onAppUpdateFailed();
        return;
    }
    m_installerFileName = QFileInfo(m_installer->fileName()).fileName();
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
        get(QUrl(m_endpoints.software + QLatin1String(c_path_notifications), QUrl::TolerantMode), "news feed");
    if (!reply)
        return;
    handleReply(
        reply, Body{"news feed", m_limits.feed, nullptr}, [] { return true; }, nullptr, nullptr,
        [this](QNetworkReply*, const QByteArray& body) {
            m_notifications = Notification::FromJson(body, false);
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
    QNetworkReply* reply = get(url, "firmware manifest");
    if (!reply) {
        onKestrinFwFailed(type);
        return;
    }
    handleReply(
        reply, Body{"firmware manifest", m_limits.manifest, nullptr},
        [rec, generation] { return generation == rec->generation; },
        [this, type] { setKestrinFwStatus(type, UpdateStatus::Failed); }, [this, type] { onKestrinFwFailed(type); },
        [this, type](QNetworkReply*, const QByteArray& body) { onKestrinManifest(type, body); });
}

void NetworkUpdater::onKestrinManifest(DeviceType type, const QByteArray& body)
{
    KestrinFwStruct& rec = *record(type);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
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
        rec.images[hwType] = ImageSlot();
        if (link.isEmpty()) {
            GlobalLogger::Instance()->message(QtWarningMsg, "%s FW JSON has no %s link", TypeName(type).constData(),
                                              HwName(hwType).constData());
            onKestrinFwFailed(type);
            return;
        }
        links.emplace_back(hwType, QUrl(link, QUrl::TolerantMode));
    }

    // All four come over https, or none is asked for.
    for (const auto& [hwType, url] : links) {
        if (url.scheme() != QLatin1String("https")) {
            GlobalLogger::Instance()->message(QtWarningMsg,
                                              "Refused to fetch the %s FW image %s from \"%s\": only https links are followed",
                                              TypeName(type).constData(), HwName(hwType).constData(),
                                              qUtf8Printable(ForLog(url)));
            onKestrinFwFailed(type);
            return;
        }
    }

    const uint64_t generation = rec.generation;
    for (const auto& [hwType, url] : links) {
        QNetworkReply* image = get(url, "firmware image");
        rec.imageReplies.append(image);
        const KestrinHwType hw = hwType;
        handleReply(
            image,
            Body{"firmware image", m_limits.image,
                 [this, type, hw, generation](QNetworkReply*, const QByteArray& piece, QString& problem) {
                     KestrinFwStruct& r = *record(type);
                     const auto slot = r.images.find(hw);
                     if (generation != r.generation || slot == r.images.end()) {
                         problem = QStringLiteral("the check it belongs to has ended");
                         return false;
                     }
                     return WriteDownloadPiece(slot->second.file,
                                               getKestrinDir(type).absoluteFilePath(getFwFileName(hw)), piece, problem);
                 }},
            [&rec, generation] { return generation == rec.generation; }, [this, type] { onKestrinFwFailed(type); },
            [this, type] { onKestrinFwFailed(type); },
            [this, type, hw](QNetworkReply* r, const QByteArray&) { onKestrinImage(type, hw, r); });
    }
}

void NetworkUpdater::onKestrinImage(DeviceType type, KestrinHwType hwType, QNetworkReply* reply)
{
    KestrinFwStruct& rec = *record(type);
    const auto slot = rec.images.find(hwType);
    if (slot == rec.images.end())
        return; // another image of this check failed already
    if (!slot->second.file) {
        GlobalLogger::Instance()->message(QtWarningMsg, "The %s FW image %s from %s is empty", TypeName(type).constData(),
                                          HwName(hwType).constData(), qUtf8Printable(ForLog(reply->url())));
        onKestrinFwFailed(type);
        return;
    }
    if (!slot->second.file->flush()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot save the %s FW image %s: %s", TypeName(type).constData(),
                                          HwName(hwType).constData(),
                                          qUtf8Printable(DescribeWriteFailure(*slot->second.file)));
        onKestrinFwFailed(type);
        return;
    }
    slot->second.complete = true;
    for (const auto& [hw, image] : rec.images) {
        if (!image.complete)
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

    QNetworkReply* reply = get(QUrl(url, QUrl::TolerantMode), "rollback list");
    if (!reply)
        return;
    handleReply(
        reply, Body{"rollback list", m_limits.manifest, nullptr},
        [rec, generation] { return generation == rec->rollbackGeneration; }, nullptr, nullptr,
        [this, type](QNetworkReply*, const QByteArray& body) { onKestrinRollbackList(type, body); });
}

void NetworkUpdater::onKestrinRollbackList(DeviceType type, const QByteArray& body)
{
    KestrinFwStruct& rec = *record(type);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
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
    m_solvarineDownload.reset();
    const uint64_t generation = ++m_solvarineGeneration;
    setSolvarineFwStatus(UpdateStatus::InProgress);

    QNetworkReply* reply =
        get(QUrl(m_endpoints.solvarine + QLatin1String(c_path_solvarine_fw), QUrl::TolerantMode), "firmware manifest");
    if (!reply) {
        onSolvarineFwFailed();
        return;
    }
    handleReply(
        reply, Body{"firmware manifest", m_limits.manifest, nullptr},
        [this, generation] { return generation == m_solvarineGeneration; },
        [this] { setSolvarineFwStatus(UpdateStatus::Failed); }, [this] { onSolvarineFwFailed(); },
        [this](QNetworkReply*, const QByteArray& body) { onSolvarineManifest(body); });
}

void NetworkUpdater::onSolvarineManifest(const QByteArray& body)
{
    const QByteArray name = TypeName(DeviceType::solvarine);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
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
    QNetworkReply* image = get(m_solvarineLink, "firmware image");
    if (!image) {
        onSolvarineFwFailed();
        return;
    }
    handleReply(
        image,
        Body{"firmware image", m_limits.serialImage,
             [this](QNetworkReply*, const QByteArray& piece, QString& problem) {
                 return WriteDownloadPiece(m_solvarineDownload,
                                           getSolvarineDir().absoluteFilePath(getSolvarineFwFileName()), piece,
                                           problem);
             }},
        [this, generation] { return generation == m_solvarineGeneration; }, [this] { onSolvarineFwFailed(); },
        [this] { onSolvarineFwFailed(); }, [this](QNetworkReply* r, const QByteArray&) { onSolvarineImage(r); });
}

void NetworkUpdater::onSolvarineImage(QNetworkReply* reply)
{
    const QByteArray name = TypeName(DeviceType::solvarine);
    if (!m_solvarineDownload) {
        GlobalLogger::Instance()->message(QtWarningMsg, "The %s FW image from %s is empty", name.constData(),
                                          qUtf8Printable(ForLog(reply->url())));
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
