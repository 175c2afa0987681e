#include "platform/UpdateChannel.h"

#include "core/AppDataFolder.h"
#include "core/GlobalLogger.h"
#include "core/SafeFile.h"
#include "platform/CacheFiles.h"
#include "utils/Utils.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>

#include <algorithm>
#include <utility>

namespace Platform {

UpdateChannel::UpdateChannel(UpdateFetcher& fetcher, Traits traits)
    : m_fetcher(fetcher)
    , m_traits(std::move(traits))
{
}

void UpdateChannel::log(QtMsgType type, const QString& line) const
{
    GlobalLogger::Instance()->message(type, line);
}

void UpdateChannel::setStatus(UpdateStatus status)
{
    m_status = status;
    if ((status == UpdateStatus::Failed || status == UpdateStatus::Saved) && m_recheck && m_traits.recheck) {
        // The check asked for while this one ran takes its place; its own signal follows.
        m_recheck = false;
        m_traits.recheck();
        return;
    }
    if (m_traits.notify)
        m_traits.notify();
}

void UpdateChannel::settleSaved()
{
    log(QtDebugMsg, m_traits.savedLine.arg(version));
    setStatus(UpdateStatus::Saved);
}

uint64_t UpdateChannel::begin()
{
    dropFiles();
    return ++m_generation;
}

std::optional<uint64_t> UpdateChannel::beginCheck()
{
    if (busy())
        return std::nullopt;
    if (m_status == UpdateStatus::Saved && m_traits.forgetSaved)
        m_traits.forgetSaved();
    const uint64_t generation = begin();
    setStatus(UpdateStatus::InProgress);
    return generation;
}

std::function<bool()> UpdateChannel::currentTest(uint64_t generation) const
{
    return [this, generation] { return isCurrent(generation); };
}

void UpdateChannel::fail()
{
    dropFiles();
    if (m_traits.forget)
        m_traits.forget();
    setStatus(UpdateStatus::Failed);
}

void UpdateChannel::dropFiles()
{
    const std::vector<Slot> dropped = std::exchange(m_slots, {});
    for (const Slot& s : dropped) {
        // The reply whose handler failed the check ends by itself.
        if (s.reply && s.reply != m_fetcher.handledReply() && !s.reply->isFinished())
            m_fetcher.cancel(s.reply);
    }
    // Files not saved are discarded with their slots.
}

void UpdateChannel::fetchManifest(const QUrl& url, const char* what, qint64 limit, uint64_t generation,
                                  UpdateFetcher::Action onError, std::function<void(const QByteArray&)> onBody)
{
    QNetworkReply* reply = m_fetcher.get(url, what);
    if (!reply) {
        fail();
        return;
    }
    m_fetcher.handle(
        reply, UpdateFetcher::Body{what, limit, nullptr},
        UpdateFetcher::Steps{currentTest(generation), std::move(onError), [this] { fail(); },
                             [onBody = std::move(onBody)](QNetworkReply*, const QByteArray& body) { onBody(body); }});
}

UpdateChannel::Slot* UpdateChannel::slot(const QString& key)
{
    for (Slot& s : m_slots) {
        if (s.key == key)
            return &s;
    }
    return nullptr;
}

const UpdateChannel::Slot* UpdateChannel::slot(const QString& key) const
{
    for (const Slot& s : m_slots) {
        if (s.key == key)
            return &s;
    }
    return nullptr;
}

void UpdateChannel::addFile(const QString& key)
{
    if (!slot(key))
        m_slots.push_back(Slot{key, nullptr, false, nullptr, nullptr});
}

QString UpdateChannel::downloadedName(const QString& key) const
{
    const Slot* s = slot(key);
    return s && s->file ? QFileInfo(s->file->fileName()).fileName() : QString();
}

void UpdateChannel::fetchFiles(const std::vector<File>& files)
{
    // All of them come over https, or none is asked for.
    for (const File& file : files) {
        if (!UpdateFetcher::IsFollowed(file.url, file.label)) {
            fail();
            return;
        }
    }
    for (const File& file : files)
        addFile(file.key);

    const uint64_t generation = m_generation;
    for (const File& file : files) {
        QNetworkReply* reply = m_fetcher.get(file.url, file.what, file.followRedirects);
        if (!reply) {
            fail();
            return;
        }
        if (Slot* s = slot(file.key))
            s->reply = reply;
        m_fetcher.handle(
            reply,
            UpdateFetcher::Body{file.what, file.limit,
                                [this, file](QNetworkReply* r, const QByteArray& piece, QString& problem) {
                                    return write(file, r, piece, problem);
                                }},
            UpdateFetcher::Steps{currentTest(generation), [this] { fail(); }, [this] { fail(); },
                                 [this, file](QNetworkReply* r, const QByteArray&) { onFileArrived(file, r); }});
    }
}

bool UpdateChannel::write(const File& file, QNetworkReply* reply, const QByteArray& piece, QString& problem)
{
    Slot* s = slot(file.key);
    if (!s) {
        problem = QStringLiteral("the check it belongs to has ended");
        return false;
    }
    QString path;
    QString confinedTo;
    if (!s->file) {
        // A name that comes from a server never leads out of the folder or over the marker.
        const QString name = file.fileName ? file.fileName(reply) : file.key;
        if (!IsPlainFileName(name) || name == m_traits.marker) {
            problem = QStringLiteral("its URL names no usable file name");
            return false;
        }
        const QDir folder = dir();
        folder.mkpath(QStringLiteral("."));
        path = folder.absoluteFilePath(name);
        confinedTo = AppDataFolder();
    }
    if (!WriteDownloadPiece(s->file, path, confinedTo, piece, problem))
        return false;
    if (!s->digest)
        s->digest = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    s->digest->addData(piece);
    return true;
}

void UpdateChannel::onFileArrived(const File& file, QNetworkReply* reply)
{
    Slot* s = slot(file.key);
    if (!s)
        return; // another file of this check failed already
    if (!s->file) {
        log(QtWarningMsg,
            QStringLiteral("The %1 from %2 is empty").arg(file.label, UpdateFetcher::ForLog(reply->url())));
        fail();
        return;
    }
    // A full disk shows here at the latest, before the other files are waited for.
    if (!s->file->flush()) {
        log(QtWarningMsg, QStringLiteral("Cannot save the %1: %2").arg(file.label, s->file->errorString()));
        fail();
        return;
    }
    s->complete = true;
    for (const Slot& other : m_slots) {
        if (!other.complete)
            return; // the other files are still on their way
    }
    if (m_traits.arrived)
        m_traits.arrived();
    log(QtDebugMsg, m_traits.arrivedLine.arg(version));
    m_status = UpdateStatus::Downloaded;
    const bool saved = save();
    log(QtDebugMsg, m_traits.savingLine.arg(version, QString::fromLatin1(Utils::GetStrSuccessFail(saved))));
    if (saved)
        setStatus(UpdateStatus::Saved);
    else
        fail();
}

bool UpdateChannel::save()
{
    if (m_status != UpdateStatus::Downloaded || version.isEmpty() || m_slots.empty())
        return false;
    QByteArray marker = m_traits.markerContent ? m_traits.markerContent() : version.toLatin1();
    CacheFileSet files(dir(), m_traits.marker, AppDataFolder());
    for (Slot& s : m_slots) {
        if (m_traits.recordFiles && s.file && s.digest)
            marker += '\n' + QFileInfo(s.file->fileName()).fileName().toUtf8() + ' ' +
                      QByteArray::number(s.file->size()) + ' ' + s.digest->result().toHex();
        files.adopt(std::move(s.file));
    }
    files.add(m_traits.marker, marker);
    const bool saved = files.commit();
    if (!saved)
        log(QtWarningMsg, QStringLiteral("Cannot save %1: %2").arg(m_traits.saveSubject, files.errorString()));
    m_slots.clear(); // the files are in the cache now, or discarded
    return saved;
}

QDir UpdateChannel::dir()
{
    if (!m_dir)
        m_dir = QDir(QDir(AppDataFolder()).absoluteFilePath(m_traits.folder));
    return *m_dir;
}

bool UpdateChannel::readMarker(QByteArray& out)
{
    return ReadCacheMarker(dir(), m_traits.marker, out);
}

bool UpdateChannel::cacheHolds(const QString& wanted, const QStringList& names)
{
    QByteArray saved;
    if (!readMarker(saved))
        return false;
    const QList<QByteArray> lines = saved.split('\n');
    if (QString::fromLatin1(lines.first()) != wanted)
        return false;
    for (const QString& name : names) {
        const QByteArray prefix = name.toUtf8() + ' ';
        const auto record = std::find_if(lines.cbegin() + 1, lines.cend(),
                                         [&prefix](const QByteArray& line) { return line.startsWith(prefix); });
        const QList<QByteArray> fields = record == lines.cend() ? QList<QByteArray>() : record->split(' ');
        QFile file(dir().absoluteFilePath(name));
        QString error;
        bool matches =
            fields.size() == 3 && OpenRegularFile(file, error) && QByteArray::number(file.size()) == fields[1];
        if (matches) {
            QCryptographicHash digest(QCryptographicHash::Sha256);
            matches = digest.addData(&file) && digest.result().toHex() == fields[2];
        }
        if (!matches) {
            log(QtDebugMsg, QStringLiteral("The cached %1 of version %2 does not match what was saved; it is fetched "
                                           "again")
                                .arg(name, wanted));
            return false;
        }
    }
    return true;
}

} // namespace Platform
