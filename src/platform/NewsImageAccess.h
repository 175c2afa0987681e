#pragma once

#include "platform/UpdateChannelFetch.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSslConfiguration>
#include <QUrl>

#include <list>
#include <memory>

namespace Platform {

class BufferedReply;

// The access manager of the QML engine, through which the news pictures (and anything else the
// interface would load from the network) are fetched under the network updater's rules: https
// only, a size limit fit for a picture, the same idle and minimum-rate deadlines, plain (identity)
// bodies, no document where a picture is expected. Every link is fetched once however many items
// show it: the requests of a link share one download, and its body is kept for later requests
// while the kept bodies stay under a budget. A failed download is forgotten, so a later request
// tries again.
//
// Links that are not network links (qrc:, file:, data:) are passed to Qt as they are. Lives in
// the thread that made it, as the engine's managers do.
class NewsImageAccess final : public QNetworkAccessManager {
    Q_OBJECT

public:
    static constexpr qint64 DefaultImageLimit = qint64(4) * 1024 * 1024;
    static constexpr qint64 KeptBytes = qint64(16) * 1024 * 1024;

    explicit NewsImageAccess(QObject* parent = nullptr);
    ~NewsImageAccess() override;

    // For tests: a local server's certificate, shorter deadlines, a smaller limit.
    void setFetchSslConfiguration(const QSslConfiguration& configuration);
    void setDeadlines(int idleMs, int graceMs, qint64 minBytesPerSecond);
    void setImageLimit(qint64 bytes) { m_limit = bytes; }

protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    struct Download;

    void start(const QUrl& url, const std::shared_ptr<Download>& download);
    void keep(const QUrl& url, const std::shared_ptr<Download>& download);

    UpdateFetcher m_fetcher;
    qint64 m_limit = DefaultImageLimit;
    QHash<QUrl, std::shared_ptr<Download>> m_downloads; // running or kept, by link
    std::list<QUrl> m_kept;                             // kept bodies, oldest first
    qint64 m_keptBytes = 0;
};

} // namespace Platform
