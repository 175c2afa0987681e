#pragma once

#include "core/DeviceType.h"
#include "core/Notification.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
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
// GUI thread only.
class NetworkUpdater final : public QObject {
    Q_OBJECT

public:
    // What the getters report.
    enum class Status { None = 0, Failed = 1, InProgress = 2, Available = 3, Ready = 4 };

    // The state of each updatable item.
    enum class UpdateStatus {
        None = 0,       // no check has run yet
        Failed = 1,     // the last check or download failed
        Found = 2,      // an app update is offered and not downloaded (app only)
        InProgress = 3, // a manifest request or a download is running
        Downloaded = 4, // everything received, being written to the cache
        Saved = 5,      // the update is in the cache and ready
    };

    // The four storage hosts, each a scheme and a host, optionally with a port and a path prefix,
    // without a trailing slash. The manifests' paths are appended to them.
    struct Endpoints {
        QString software;    // the app-update descriptor and the news feed
        QString kestrin;     // the first headset model
        QString kestrin2;    // the second-generation headset models
        QString solvarine;   // the serial device

        // The maker's hosts (NetworkUpdaterHosts.cpp).
        static Endpoints Product();
    };

    // Time without any data after which a request is given up.
    static constexpr int DefaultTransferTimeoutMs = 30000;

    // The largest body accepted of each kind, in bytes.
    struct SizeLimits {
        qint64 manifest = 256 * 1024;           // app descriptor, firmware manifests, rollback lists
        qint64 feed = 1024 * 1024;              // the news feed
        qint64 image = 64 * 1024 * 1024;        // one headset firmware image
        qint64 serialImage = 1000000;           // the serial device's image (the cache takes no larger)
        qint64 installer = 1024 * 1024 * 1024;  // the application's installer
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
    static QString getFwFileName(KestrinHwType hwType);
    static QString getSolvarineFwFileName();

signals:
    void sigAppUpdateStatusChanged();
    void sigKestrinFwStatusChanged(DeviceType dev_type);
    void sigSolvarineFwStatusChanged();
    void sigNotificationsUpdated();

private:
    // One hardware variant's image while it downloads: the file it is written to, opened on its
    // first data, and whether all of it arrived.
    struct ImageSlot {
        std::unique_ptr<QSaveFile> file;
        bool complete = false;
    };

    struct KestrinFwStruct {
        std::optional<QDir> dir;                                  // made on first use
        std::unordered_map<KestrinHwType, ImageSlot> images;      // one slot per variant while downloading
        QString version;
        UpdateStatus status = UpdateStatus::None;
        QString defaultUrl;
        QUrl overrideUrl;
        QStringList rollbackNames;
        std::vector<QUrl> rollbackLinks;
        bool recheck = false;
        // Counts the checks, so that replies of an earlier check are told apart and ignored.
        uint64_t generation = 0;
        uint64_t rollbackGeneration = 0;
        QList<QPointer<QNetworkReply>> imageReplies;
    };

    using Action = std::function<void()>;

    KestrinFwStruct* record(DeviceType type);
    const KestrinFwStruct* record(DeviceType type) const;

    // What a reply's body is and where it goes.
    struct Body {
        const char* what = "";  // for the log
        qint64 limit = 0;
        // Binary bodies are handed to `write` piece by piece as they arrive (false: the download
        // is given up, `problem` says why); the others are kept in memory for `onBody`.
        std::function<bool(QNetworkReply*, const QByteArray&, QString& problem)> write;
    };

    // Asks for `url`; nullptr (and a log line) when it is not an https link.
    QNetworkReply* get(const QUrl& url, const char* what, bool followRedirects = false);
    // Runs `onError` when the reply reports an error, then `onFinishedWithError` or `onBody` when
    // it finishes. Each only while `isCurrent` holds, so late replies of a superseded request
    // change nothing. A body that breaks the rules above is stopped and fails as a network error.
    void handleReply(QNetworkReply* reply, Body body, std::function<bool()> isCurrent, Action onError,
                     Action onFinishedWithError, std::function<void(QNetworkReply*, const QByteArray&)> onBody);
    QString describeError(QNetworkReply* reply) const;

    void setAppUpdateStatus(UpdateStatus status);
    void setKestrinFwStatus(DeviceType type, UpdateStatus status);
    void setSolvarineFwStatus(UpdateStatus status);
    void onAppUpdateFailed();
    void onKestrinFwFailed(DeviceType type);
    void onSolvarineFwFailed();
    void cancelImageDownloads(KestrinFwStruct& rec, QNetworkReply* except);

    void onAppManifest(const QByteArray& body);
    void onAppInstaller(QNetworkReply* reply);
    void onKestrinManifest(DeviceType type, const QByteArray& body);
    void onKestrinImage(DeviceType type, KestrinHwType hwType, QNetworkReply* reply);
    void onKestrinRollbackList(DeviceType type, const QByteArray& body);
    void onSolvarineManifest(const QByteArray& body);
    void onSolvarineImage(QNetworkReply* reply);
    bool writeInstaller(QNetworkReply* reply, const QByteArray& piece, QString& problem);

    // The download cache.
    QDir getAppUpdateDir();
    QDir getKestrinDir(DeviceType type);
    QDir getSolvarineDir();
    bool isAppUpdateSaved(const QString& version, QString& fileName);
    void deleteSavedAppUpdate();
    bool saveAppUpdateFiles();
    bool isKestrinFwSaved(DeviceType type, const QString& version);
    bool saveKestrinFwFiles(DeviceType type);
    bool isSolvarineFwSaved(const QString& version);
    bool saveSolvarineFwFiles();

    Endpoints m_endpoints;
    QNetworkAccessManager* m_manager;
    std::optional<QSslConfiguration> m_sslConfiguration;
    QNetworkReply* m_handledReply = nullptr; // the reply whose handler runs, if any
    SizeLimits m_limits;
    QDir m_appDir;
    std::unique_ptr<QSaveFile> m_installer;  // the installer while it downloads
    QString m_appVersion;
    QString m_appLink;
    QString m_installerFileName;
    UpdateStatus m_appStatus = UpdateStatus::None;
    uint64_t m_appGeneration = 0;
    std::unordered_map<DeviceType, KestrinFwStruct> m_kestrin;
    std::optional<QDir> m_solvarineDir;
    QByteArray m_solvarineImage;             // the cached image, once found in the cache
    std::unique_ptr<QSaveFile> m_solvarineDownload; // the image while it downloads
    QString m_solvarineVersion;
    QUrl m_solvarineLink;
    UpdateStatus m_solvarineStatus = UpdateStatus::None;
    uint64_t m_solvarineGeneration = 0;
    QList<Notification> m_notifications;
};

} // namespace Platform
