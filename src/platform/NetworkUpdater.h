#pragma once

#include "core/DeviceType.h"
#include "core/Notification.h"
#include "platform/UpdateChannel.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

namespace Platform {

// The hardware revision of the first headset model that a rollback list is for: 0 the older one,
// 1 the newer one (the headset's new-film flag).
using KestrinRevision = int;

// The program's only network client. It fetches the app-update descriptor, the news feed, the
// firmware manifest of each headset model, the headset rollback lists and the serial device's
// firmware manifest over HTTPS, downloads what a manifest offers and keeps it in a cache under
// the per-user application data folder, so that a later run finds it without a download.
//
// Firmware is downloaded as soon as its manifest is read; the app installer only when asked. The
// updater installs nothing itself, has no timer and never retries: callers ask again.
//
// Only https links are followed, whatever a manifest names. Every body has a size limit fit for
// its kind and a download stops as soon as it passes it; firmware images and the installer go to
// a file beside their target as they arrive and count as complete only when the server announced
// their length (or ended their chunked encoding) and every byte came.
//
// A cache entry is replaced only by a complete download: the files are written beside their
// targets and renamed over them once all of them are on disk, and the version marker is written
// last, so an interrupted or failed save never passes for a saved update.
//
// Each updatable item (the app, the firmware of each headset model, the serial device's firmware)
// is an UpdateChannel; the items differ only in their manifests and their channel's data. Every
// request goes through one UpdateFetcher.
//
// GUI thread only.
class NetworkUpdater final : public QObject {
    Q_OBJECT

public:
    // What the getters report.
    enum class Status { None = 0, Failed = 1, InProgress = 2, Available = 3, Ready = 4 };

    // The state of each updatable item.
    using UpdateStatus = Platform::UpdateStatus;

    // The four storage hosts, each a scheme and a host, optionally with a port and a path prefix,
    // without a trailing slash. The manifests' paths are appended to them.
    struct Endpoints {
        QString software;  // the app-update descriptor and the news feed
        QString kestrin;   // the first headset model
        QString kestrin2;  // the second-generation headset models
        QString solvarine; // the serial device

        // The maker's hosts (NetworkUpdaterHosts.cpp).
        static Endpoints Product();
    };

    // Time without any data after which a request is given up.
    static constexpr int DefaultTransferTimeoutMs = UpdateFetcher::DefaultIdleTimeoutMs;

    // The largest body accepted of each kind, in bytes.
    struct SizeLimits {
        qint64 manifest = qint64(256) * 1024;          // app descriptor, firmware manifests, rollback lists
        qint64 feed = qint64(1024) * 1024;             // the news feed
        qint64 image = qint64(64) * 1024 * 1024;       // one headset firmware image
        qint64 serialImage = 1000000;                  // the serial device's image
        qint64 installer = qint64(1024) * 1024 * 1024; // the application's installer
    };

    explicit NetworkUpdater(QObject* parent = nullptr);
    // Other hosts than the product's, for tests against a local server.
    NetworkUpdater(const Endpoints& endpoints, QObject* parent);
    ~NetworkUpdater() override;

    const Endpoints& endpoints() const { return m_endpoints; }

    // The TLS settings of every request; by default the system's, with normal certificate
    // verification. Tests add the certificate of their local server here.
    void setSslConfiguration(const QSslConfiguration& configuration);
    // Time without any data after which a request fails; 0 waits for ever.
    void setTransferTimeout(int milliseconds);
    // The average rate every body must keep up once `graceMs` have passed; 0 waits for ever.
    void setMinimumRate(int graceMs, qint64 bytesPerSecond) { m_fetcher.setMinimumRate(graceMs, bytesPerSecond); }
    void setSizeLimits(const SizeLimits& limits) { m_limits = limits; }

    // Requests. Each does nothing when its item already has a check or download running.
    void checkForAppUpdate();
    // Downloads the offered installer; only while an update is offered and not yet downloaded.
    void downloadAppUpdate();
    void checkForNotifications();
    void checkForKestrinFw(DeviceType type);
    // Checks again at once, or as soon as the running check ends.
    void forceCheckForKestrinFw(DeviceType type);
    // An empty URL goes back to the type's own manifest.
    void overrideKestrinFwUrl(DeviceType type, const QUrl& url);
    // Chooses an older firmware from the rollback list; -1 or an index past the end chooses the
    // latest again.
    void setKestrinRollbackIndex(DeviceType type, int index);
    void checkForKestrinRollbackFws(DeviceType type, KestrinRevision revision);
    void checkForSolvarineFw();

    // Queries.
    Status getAppUpdateStatus() const;
    bool readAppUpdateVersion(QString& out) const;
    bool readAppUpdateFilePath(QString& out);
    Status getKestrinFwStatus(DeviceType type) const;
    bool hasKestrinFwUpdate(DeviceType type) const;
    bool readKestrinFwVersion(DeviceType type, QString& out) const;
    QStringList getAvailableKestrinFwNames(DeviceType type) const;
    bool readKestrinFw(DeviceType type, KestrinHwType hwType, QString& out);
    // As readKestrinFw, with a dongle variant replaced by the headset of the same family.
    bool readKestrinHeadsetFw(DeviceType type, KestrinHwType hwType, QString& out);
    bool hasSolvarineFwUpdate() const;
    QList<Notification> getNotifications() const { return m_notifications; }

    static bool IsKestrinRollbackSupported(DeviceType type) { return IsLikeKestrin(type); }

    // Cache file names.
    static constexpr QLatin1StringView AppMarkerName{"ver"};         // version and installer name
    static constexpr QLatin1StringView FirmwareMarkerName{"fw_ver"}; // version and image records
    static QString getFwFileName(KestrinHwType hwType);
    static QString getSolvarineFwFileName();

signals:
    void sigAppUpdateStatusChanged();
    void sigKestrinFwStatusChanged(DeviceType dev_type);
    void sigSolvarineFwStatusChanged();
    void sigNotificationsUpdated();

private:
    // The firmware item of one headset model, with the manifest it reads and its rollback list.
    struct KestrinFwStruct {
        KestrinFwStruct(UpdateFetcher& fetcher, UpdateChannel::Traits traits, QString manifestUrl)
            : channel(fetcher, std::move(traits))
            , defaultUrl(std::move(manifestUrl))
        {
        }

        UpdateChannel channel;
        QString defaultUrl;
        QUrl overrideUrl;
        QStringList rollbackNames;
        std::vector<QUrl> rollbackLinks;
        // Counts the rollback requests, so that an earlier list never replaces a later one.
        uint64_t rollbackGeneration = 0;
    };

    KestrinFwStruct* record(DeviceType type);
    const KestrinFwStruct* record(DeviceType type) const;
    void addKestrinRecord(DeviceType type, const QString& manifestUrl);

    // What tells the app and the serial device's items apart (the headset models' in
    // addKestrinRecord).
    UpdateChannel::Traits appTraits();
    UpdateChannel::Traits solvarineTraits();

    // Reads the version of a firmware manifest into `channel`; its root object, or nothing when the
    // document is unusable or names no version (the channel has then failed).
    std::optional<QJsonObject> readFwManifest(UpdateChannel& channel, DeviceType type, const QByteArray& body);
    void onAppManifest(const QByteArray& body);
    void onKestrinManifest(DeviceType type, const QByteArray& body);
    void onKestrinRollbackList(DeviceType type, const QByteArray& body);
    void onSolvarineManifest(const QByteArray& body);

    // The download cache.
    bool isAppUpdateSaved(const QString& version, QString& fileName);
    void deleteSavedAppUpdate();
    bool isKestrinFwSaved(DeviceType type, const QString& version);
    bool isSolvarineFwSaved(const QString& version);

    Endpoints m_endpoints;
    UpdateFetcher m_fetcher; // before the channels, which use it
    SizeLimits m_limits;
    UpdateChannel m_app;
    QString m_appLink;
    QString m_installerFileName;
    std::unordered_map<DeviceType, KestrinFwStruct> m_kestrin;
    UpdateChannel m_solvarine;
    QByteArray m_solvarineImage; // the cached image, once found in the cache
    QUrl m_solvarineLink;
    QList<Notification> m_notifications;
    QPointer<QNetworkReply> m_newsReply; // the news check running, if any
};

} // namespace Platform
