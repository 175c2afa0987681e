#include "platform/UpdateChannelFetch.h"

#include "core/GlobalLogger.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

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

} // namespace

UpdateFetcher::UpdateFetcher(QObject* owner)
    : m_owner(owner)
    , m_manager(new QNetworkAccessManager(owner))
{
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
        return QStringLiteral("timed out: no data for %1 s").arg(m_manager->transferTimeout() / 1000.0);
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
    auto take = [reply, body, state, isCurrent, refuse, run]() {
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

    QObject::connect(reply, &QNetworkReply::metaDataChanged, m_owner, [reply, body, refuse] {
        if (reply->error() != QNetworkReply::NoError)
            return;
        const QString headers = RefusedHeaders(reply, body.limit);
        if (!headers.isEmpty())
            refuse(headers);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, m_owner, [take] { take(); });
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
            if (!take()) { // refused by its very last piece
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
