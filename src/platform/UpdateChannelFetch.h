#pragma once

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QObject;

namespace Platform {

// The requests of the network updater and of its update channels: every GET goes through here,
// so that the rules on what is fetched and what is taken hold for all of them alike.
//
// Only https links are followed, whatever a manifest names. Every body has a size limit and a
// download stops as soon as it passes it; a binary body counts as complete only when the server
// announced its length (or ended its chunked encoding) and every byte came. Invalid or conflicting
// lengths are refused, and so is a binary body that is a document (an HTML or JSON page by its
// Content-Type or first bytes). Every request ends: after some time without data (the idle
// limit), and once its grace time is over, when its average rate falls below a minimum.
//
// The reply handlers run with the owner as their context object, so none runs after the owner is
// gone. GUI thread only.
class UpdateFetcher {
public:
    using Action = std::function<void()>;

    // What a reply's body is and where it goes.
    struct Body {
        const char* what = ""; // for the log
        qint64 limit = 0;
        // Binary bodies are handed to `write` piece by piece as they arrive (false: the download
        // is given up, `problem` says why); the others are kept in memory for the body handler.
        std::function<bool(QNetworkReply*, const QByteArray&, QString& problem)> write;
        // A picture, which may be a drawing: an XML body announced as "image/svg+xml" is then
        // taken rather than refused as a document.
        bool drawingAllowed = false;
    };

    // How a reply ends. Each step runs only while `isCurrent` holds, so that late replies of a
    // superseded request change nothing; an empty step does nothing.
    struct Steps {
        std::function<bool()> isCurrent;
        Action onError;                                                // the reply reported an error (runs first)
        Action onFinishedWithError;                                    // it then finished with that error
        std::function<void(QNetworkReply*, const QByteArray&)> onBody; // it finished well
    };

    // The access manager is made a child of `owner`, so that its replies are the owner's
    // descendants.
    explicit UpdateFetcher(QObject* owner);

    // The deadlines of every request: no data for the manager's transfer timeout (the idle
    // limit), or less than `minBytesPerSecond` on average once `graceMs` have passed. 0 turns the
    // rate limit off.
    static constexpr int DefaultIdleTimeoutMs = 30000;
    static constexpr int DefaultGraceMs = 30000;
    static constexpr qint64 DefaultMinBytesPerSecond = 1024;
    void setMinimumRate(int graceMs, qint64 minBytesPerSecond);
    UpdateFetcher(const UpdateFetcher&) = delete;
    UpdateFetcher& operator=(const UpdateFetcher&) = delete;

    QNetworkAccessManager* manager() const { return m_manager; }
    void setSslConfiguration(const QSslConfiguration& configuration) { m_sslConfiguration = configuration; }

    // Asks for `url`; nullptr (and a log line) when it is not an https link.
    QNetworkReply* get(const QUrl& url, const char* what, bool followRedirects = false);
    // Logs the refusal of a link that is not https, naming it `what`; true when the link is https.
    static bool IsFollowed(const QUrl& url, const QString& what);
    // Watches `reply` until it ends. A body that breaks the rules above is stopped and fails as a
    // network error.
    void handle(QNetworkReply* reply, Body body, Steps steps);
    // The reply whose handler runs, if any: cancelling other downloads spares it.
    QNetworkReply* handledReply() const { return m_handledReply; }
    // Ends a running request without running its handlers.
    void cancel(QNetworkReply* reply);
    // Ends every running request without running its handlers.
    void abortAll();

    // A URL as the log shows it, without user information or query.
    static QString ForLog(const QUrl& url);

private:
    QString describeError(QNetworkReply* reply) const;

    QObject* m_owner;
    QNetworkAccessManager* m_manager;
    std::optional<QSslConfiguration> m_sslConfiguration;
    QNetworkReply* m_handledReply = nullptr;
    int m_graceMs = DefaultGraceMs;
    qint64 m_minBytesPerSecond = DefaultMinBytesPerSecond;
};

} // namespace Platform
