#include "platform/UpdateChannelFetch.h"

#include "core/GlobalLogger.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>
#include <utility>

namespace Platform {

namespace {

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

// Why the Content-Length headers of a reply cannot be trusted: invalid, or several that differ;
// empty when they can (or there is none).
QString InconsistentLength(QNetworkReply* reply)
{
    QList<QByteArray> values;
    const auto& pairs = reply->rawHeaderPairs();
    for (const auto& [name, value] : pairs) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            values += value.split(','); // repeated headers may come joined into one
    }
    QByteArray first;
    for (const QByteArray& raw : std::as_const(values)) {
        const QByteArray value = raw.trimmed();
        bool number = !value.isEmpty();
        for (const char c : value)
            number = number && c >= '0' && c <= '9';
        if (!number)
            return QStringLiteral("the server sent an invalid Content-Length header \"%1\"")
                .arg(QString::fromLatin1(value));
        if (first.isEmpty())
            first = value;
        else if (value != first)
            return QStringLiteral("the server sent conflicting Content-Length headers (%1)")
                .arg(QString::fromLatin1(values.join(", ")));
    }
    return QString();
}

// The media type of a reply's body, without parameters, in lower case.
QByteArray MediaType(QNetworkReply* reply)
{
    const QByteArray type = reply->rawHeader("Content-Type").trimmed().toLower();
    const qsizetype parameters = type.indexOf(';');
    return (parameters < 0 ? type : type.first(parameters)).trimmed();
}

// A picture drawn in SVG is an XML document that is meant as one.
bool IsAllowedDrawing(QNetworkReply* reply, const UpdateFetcher::Body& body)
{
    return body.drawingAllowed && MediaType(reply) == "image/svg+xml";
}

// A binary file (a firmware image, an installer, a picture) that the server answered with a
// document instead, an error page most often: by its Content-Type...
QString DocumentType(QNetworkReply* reply)
{
    const QByteArray mime = MediaType(reply);
    if (mime.startsWith("text/") || mime.contains("html") || mime.contains("json") || mime.contains("xml"))
        return QStringLiteral("the server sent a document (Content-Type \"%1\"), not a binary file")
            .arg(QString::fromLatin1(mime));
    return QString();
}

// ...or by its first bytes.
QString DocumentStart(const QByteArray& head)
{
    QByteArray start = head;
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    start = start.trimmed().toLower();
    static const char* const markup[] = {"<!doctype", "<html", "<?xml", "<head", "<body", "<!--"};
    for (const char* tag : markup) {
        if (start.startsWith(tag))
            return QStringLiteral("the server sent an HTML or XML document, not a binary file");
    }
    const QByteArray inner = start.mid(1).trimmed();
    if ((start.startsWith('{') && (inner.startsWith('"') || inner.startsWith('}'))) ||
        (start.startsWith('[') && (inner.startsWith('{') || inner.startsWith('"') || inner.startsWith(']'))))
        return QStringLiteral("the server sent a JSON document, not a binary file");
    return QString();
}

// How many first bytes of a binary body are looked at.
constexpr qsizetype DocumentHeadSize = 64;

// Why the headers of a body rule it out before it arrives; empty when they do not.
QString RefusedHeaders(QNetworkReply* reply, const UpdateFetcher::Body& body)
{
    QString inconsistent = InconsistentLength(reply);
    if (!inconsistent.isEmpty())
        return inconsistent;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (body.write && status.isValid() && status.toInt() == 200 && !IsAllowedDrawing(reply, body)) {
        QString document = DocumentType(reply);
        if (!document.isEmpty())
            return document;
    }
    // Every request asks for a plain body; an encoded one is not unpacked.
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed();
    if (!encoding.isEmpty() && encoding.toLower() != "identity")
        return QStringLiteral("the server sent a body compressed as \"%1\" although only a plain one was asked "
                              "for; compressed bodies are not unpacked")
            .arg(QString::fromLatin1(encoding));
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > body.limit)
        return QStringLiteral("the server announced %1 bytes, more than the %2 accepted (the size limit)")
            .arg(length.toLongLong())
            .arg(body.limit);
    return QString();
}

} // namespace

UpdateFetcher::UpdateFetcher(QObject* owner)
    : m_owner(owner)
    , m_manager(new QNetworkAccessManager(owner))
{
    m_manager->setTransferTimeout(DefaultIdleTimeoutMs);
}

void UpdateFetcher::setMinimumRate(int graceMs, qint64 minBytesPerSecond)
{
    m_graceMs = graceMs;
    m_minBytesPerSecond = minBytesPerSecond;
}

QString UpdateFetcher::ForLog(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
}

bool UpdateFetcher::IsFollowed(const QUrl& url, const QString& what)
{
    // A manifest may name anything; only what comes over TLS from a verified host is taken.
    if (url.scheme() == QLatin1String("https"))
        return true;
    GlobalLogger::Instance()->message(QtWarningMsg,
                                      "Refused to fetch the %s from \"%s\": only https links are followed",
                                      qUtf8Printable(what), qUtf8Printable(ForLog(url)));
    return false;
}

QNetworkReply* UpdateFetcher::get(const QUrl& url, const char* what, bool followRedirects)
{
    if (!IsFollowed(url, QString::fromUtf8(what)))
        return nullptr;
    QNetworkRequest request(url);
    // Bodies are bounded as they arrive, which an unpacked body would escape.
    request.setRawHeader("Accept-Encoding", "identity");
    if (followRedirects)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (m_sslConfiguration)
        request.setSslConfiguration(*m_sslConfiguration);
    return m_manager->get(request);
}

void UpdateFetcher::cancel(QNetworkReply* reply)
{
    reply->disconnect(m_owner);
    reply->abort();
    reply->deleteLater();
}

void UpdateFetcher::abortAll()
{
    const auto replies = m_manager->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies) {
        reply->disconnect(m_owner);
        reply->abort();
    }
}

QString UpdateFetcher::describeError(QNetworkReply* reply) const
{
    if (reply->error() == QNetworkReply::OperationCanceledError && m_manager->transferTimeout() > 0)
        return QStringLiteral("timed out: no data for %1 s (the idle limit)")
            .arg(m_manager->transferTimeout() / 1000.0);
    return reply->errorString();
}

void UpdateFetcher::handle(QNetworkReply* reply, Body body, Steps steps)
{
    const std::function<bool()> isCurrent = std::move(steps.isCurrent);
    const Action onError = std::move(steps.onError);
    const Action onFinishedWithError = std::move(steps.onFinishedWithError);
    const auto onBody = std::move(steps.onBody);

    // What arrived so far, and why the body was stopped, if it was.
    struct State {
        QByteArray text;
        qint64 received = 0;
        QString refusal;
        QByteArray head; // the first bytes of a binary body, until they are judged
        bool headJudged = false;
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
    // Takes what has arrived (`last`: all of it); false once the body has been refused.
    auto take = [reply, body, state, isCurrent, refuse, run](bool last) {
        if (!state->refusal.isEmpty() || reply->error() != QNetworkReply::NoError)
            return false;
        const QString headers = RefusedHeaders(reply, body);
        if (!headers.isEmpty()) {
            refuse(headers);
            return false;
        }
        const QByteArray piece = reply->readAll();
        state->received += piece.size();
        if (state->received > body.limit) {
            refuse(QStringLiteral("the body passed the %1 bytes accepted (the size limit)").arg(body.limit));
            return false;
        }
        // An error page is counted against the limit, never kept.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && status.toInt() != 200)
            return true;
        if (body.write && !state->headJudged && !IsAllowedDrawing(reply, body)) {
            state->head += piece.left(DocumentHeadSize - state->head.size());
            if (state->head.size() >= DocumentHeadSize || last) {
                state->headJudged = true;
                const QString document = DocumentStart(state->head);
                if (!document.isEmpty()) {
                    refuse(document);
                    return false;
                }
            }
        }
        if (piece.isEmpty())
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

    QObject::connect(reply, &QNetworkReply::metaDataChanged, m_owner, [reply, body, refuse] {
        if (reply->error() != QNetworkReply::NoError)
            return;
        const QString headers = RefusedHeaders(reply, body);
        if (!headers.isEmpty())
            refuse(headers);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, m_owner, [take] { take(false); });
    // The idle timer restarts with every byte, so a body that drips would never end by it: once
    // the grace time is over, the body must also keep up a minimum average rate.
    if (m_graceMs > 0 && m_minBytesPerSecond > 0) {
        auto* clock = new QTimer(reply); // goes with the reply
        clock->setInterval(qBound(20, m_graceMs / 10, 1000));
        QElapsedTimer started;
        started.start();
        QObject::connect(clock, &QTimer::timeout, reply,
                         [reply, state, refuse, started, grace = m_graceMs, rate = m_minBytesPerSecond] {
                             const qint64 elapsed = started.elapsed();
                             if (reply->isFinished() || elapsed < grace || state->received * 1000 >= rate * elapsed)
                                 return;
                             refuse(QStringLiteral("too slow: %1 bytes in %2 s, less than the %3 bytes/s required "
                                                   "after the first %4 s (the minimum rate limit)")
                                        .arg(state->received)
                                        .arg(double(elapsed) / 1000.0, 0, 'f', 1)
                                        .arg(rate)
                                        .arg(grace / 1000.0));
                         });
        clock->start();
    }
    QObject::connect(reply, &QNetworkReply::errorOccurred, m_owner,
                     [this, reply, body, state, isCurrent, onError, run](QNetworkReply::NetworkError code) {
                         reply->deleteLater();
                         GlobalLogger::Instance()->message(QtDebugMsg, "Network Error, %d", int(code));
                         const QString why = state->refusal.isEmpty() ? describeError(reply) : state->refusal;
                         GlobalLogger::Instance()->message(QtWarningMsg, "Request for the %s at %s failed: %s",
                                                           body.what, qUtf8Printable(ForLog(reply->url())),
                                                           qUtf8Printable(why));
                         if (onError && isCurrent())
                             run(onError);
                     });
    QObject::connect(
        reply, &QNetworkReply::finished, m_owner,
        [reply, body, state, isCurrent, onFinishedWithError, onBody, run, take]() {
            reply->deleteLater();
            if (!isCurrent())
                return;
            if (reply->error() != QNetworkReply::NoError) {
                if (onFinishedWithError)
                    run(onFinishedWithError);
                return;
            }
            if (!take(true)) { // refused by its very last piece
                GlobalLogger::Instance()->message(QtWarningMsg, "Request for the %s at %s failed: %s", body.what,
                                                  qUtf8Printable(ForLog(reply->url())), qUtf8Printable(state->refusal));
                if (onFinishedWithError)
                    run(onFinishedWithError);
                return;
            }
            const QString incomplete = IncompleteBody(reply, state->received, bool(body.write));
            if (!incomplete.isEmpty()) {
                GlobalLogger::Instance()->message(QtWarningMsg, "The %s from %s is incomplete: %s", body.what,
                                                  qUtf8Printable(ForLog(reply->url())), qUtf8Printable(incomplete));
                if (onFinishedWithError)
                    run(onFinishedWithError);
                return;
            }
            const QByteArray text = std::exchange(state->text, QByteArray());
            run([&] { onBody(reply, text); });
        });
}

} // namespace Platform
