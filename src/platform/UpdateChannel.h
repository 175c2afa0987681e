#pragma once

#include "core/SafeFile.h"
#include "platform/UpdateChannelFetch.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QNetworkReply;

namespace Platform {

// The state of one updatable item.
enum class UpdateStatus {
    None = 0,       // no check has run yet
    Failed = 1,     // the last check or download failed
    Found = 2,      // an app update is offered and not downloaded (app only)
    InProgress = 3, // a manifest request or a download is running
    Downloaded = 4, // everything received, being written to the cache
    Saved = 5,      // the update is in the cache and ready
};

// One updatable item of the network updater (the app installer, the firmware of one headset
// model, the serial device's firmware): its state, the checks it has run, the files the running
// check downloads and the cache folder they are saved in. The items differ only in what their
// manifests say, which the network updater reads, and in the data below.
//
// A check or download runs under a generation number: replies of an earlier one are ignored, and
// beginning a new one or failing stops the downloads still running. The downloaded files go
// straight into their folder beside their targets and replace the cache only once all of them
// are complete; the marker that names the cached version is written last.
//
// GUI thread only.
class UpdateChannel {
public:
    // What tells the items apart, beside their manifests.
    struct Traits {
        QString folder; // the cache folder under the per-user application data folder
        QString marker; // the file in it that names the cached version
        // Log lines; %1 is the version, and in `savingLine` %2 is "success" or "fail".
        QString savedLine;   // the manifest's version is already in the cache
        QString arrivedLine; // every file of the version has arrived
        QString savingLine;  // the outcome of writing them to the cache
        QString saveSubject; // "Cannot save <subject>: <why>"
        // Takes note of the files of a version once all of them arrived, before they are saved.
        std::function<void()> arrived;
        // The marker's content when they are saved; by default the version in Latin-1.
        std::function<QByteArray()> markerContent;
        // The marker also records each file, a line "<name> <size> <SHA-256 in hex>" after the
        // content, so that a cache whose files changed is fetched again (see cacheHolds()).
        bool recordFiles = false;
        // Emits the item's change signal.
        std::function<void()> notify;
        // Forgets what the item read from its manifest, when it fails.
        std::function<void()> forget;
        // Forgets the saved version in memory when a check starts from Saved (the cached files
        // stay, and the same version is found in them again).
        std::function<void()> forgetSaved;
        // Runs the item's check again (only items that can be re-checked while one runs).
        std::function<void()> recheck;
    };

    // One file to download into the cache folder.
    struct File {
        QString key; // tells the files of one check apart
        QUrl url;
        const char* what = ""; // the kind of request, for the log
        QString label;         // this file, for the log
        qint64 limit = 0;
        bool followRedirects = false;
        // The name of the file in the folder, asked for with its first data; by default `key`.
        std::function<QString(QNetworkReply*)> fileName;
    };

    UpdateChannel(UpdateFetcher& fetcher, Traits traits);
    UpdateChannel(const UpdateChannel&) = delete;
    UpdateChannel& operator=(const UpdateChannel&) = delete;

    UpdateStatus status() const { return m_status; }
    // A manifest request or download runs, or its files are being saved.
    bool busy() const { return m_status == UpdateStatus::InProgress || m_status == UpdateStatus::Downloaded; }
    // Stores the status and signals it, or, when a re-check was asked for and the status ends
    // the running check, runs the check again instead of signalling.
    void setStatus(UpdateStatus status);
    // Asks for the check to run again as soon as the running one ends.
    void askRecheck() { m_recheck = true; }
    // The manifest's version is in the cache already: says so and moves to Saved.
    void settleSaved();

    // Begins a check or download: stops the downloads of the previous one and returns the
    // number that the replies of the new one carry.
    uint64_t begin();
    // Begins a check unless one runs (nothing then): moves to InProgress and returns the number
    // its replies carry.
    std::optional<uint64_t> beginCheck();
    bool isCurrent(uint64_t generation) const { return generation == m_generation; }
    std::function<bool()> currentTest(uint64_t generation) const;

    // Forgets the manifest and the downloads of the running check, stops those still running and
    // moves to Failed.
    void fail();

    // Asks for the manifest of a check begun with `generation`. `onError` runs when the request
    // reports an error and fail() when it then finishes (fail() alone when the link is refused);
    // `onBody` gets the body.
    void fetchManifest(const QUrl& url, const char* what, qint64 limit, uint64_t generation,
                       UpdateFetcher::Action onError, std::function<void(const QByteArray&)> onBody);
    // Adds an empty slot for a file of the running check.
    void addFile(const QString& key);
    // Downloads the files of the running check, each into its slot (added here when missing).
    // When all of them arrived, the channel moves to Downloaded, saves them and ends in Saved or
    // Failed. Nothing is asked for unless every link is https.
    void fetchFiles(const std::vector<File>& files);
    // The name of the downloaded file of slot `key`, or an empty string.
    QString downloadedName(const QString& key) const;

    // The cache folder; it is made when a file is written into it.
    QDir dir();
    // The marker's content; false when it is missing or larger than a marker can be.
    bool readMarker(QByteArray& out);
    // True when the marker names exactly `version` on its first line and records each of `names`
    // with the size and SHA-256 digest the file in the folder has. A marker of an older run that
    // records no files matches nothing, so its version is fetched again.
    bool cacheHolds(const QString& wanted, const QStringList& names);

    QString version; // of the manifest the item read last

private:
    // One file of the running check while it downloads: the file it is written to, opened on its
    // first data, and whether all of it arrived.
    struct Slot {
        QString key;
        std::unique_ptr<SafeFile> file;
        bool complete = false;
        QPointer<QNetworkReply> reply;
        std::unique_ptr<QCryptographicHash> digest; // of what was written
    };

    Slot* slot(const QString& key);
    const Slot* slot(const QString& key) const;
    bool write(const File& file, QNetworkReply* reply, const QByteArray& piece, QString& problem);
    void onFileArrived(const File& file, QNetworkReply* reply);
    bool save();
    // Stops the downloads still running, except the one whose handler runs, and drops the slots.
    void dropFiles();
    void log(QtMsgType type, const QString& line) const;

    UpdateFetcher& m_fetcher;
    Traits m_traits;
    UpdateStatus m_status = UpdateStatus::None;
    uint64_t m_generation = 0;
    bool m_recheck = false;
    std::optional<QDir> m_dir; // found on first use, made on first write
    std::vector<Slot> m_slots; // in the order the files are saved
};

} // namespace Platform
