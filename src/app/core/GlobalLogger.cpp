#include "app/core/GlobalLogger.h"

#include "app/core/AppDataFolder.h"
#include "utils/Utils.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>
#include <QTime>

#include <cstdarg>
#include <memory>
#include <thread>

namespace {

// Lines logged before the log folder is known; beyond this only a count is kept.
constexpr int MaxPendingLines = 500;

const char* Prefix(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "D:      ";
    case QtWarningMsg:
        return "WARN:   ";
    case QtCriticalMsg:
        return "ERR:    ";
    case QtFatalMsg:
        return "FATAL:  ";
    case QtInfoMsg:
        return "I:      ";
    }
    return "        ";
}

bool IsWarningOrWorse(QtMsgType type)
{
    return type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg;
}

// The folder is named after the application and the organisation; until both are set, any folder
// would be the wrong one.
bool NamesAreSet()
{
    return !QCoreApplication::organizationName().isEmpty()
        && !QCoreApplication::applicationName().isEmpty();
}

// Only files named like the ones this logger writes ("yyyy.MM.dd-N.log") take part in retention.
bool IsOwnLogName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2}-\\d+\\.log$"));
    return pattern.match(name).hasMatch();
}

void DeleteOldLogs(const QDir& folder)
{
    int kept = 0;
    const QFileInfoList files = folder.entryInfoList(QDir::Files, QDir::Time);
    for (const QFileInfo& file : files) {
        if (!IsOwnLogName(file.fileName()))
            continue;
        if (kept < GlobalLogger::KeptFiles)
            ++kept;
        else
            QFile::remove(file.absoluteFilePath());
    }
}

QString NewLogName(const QDir& folder)
{
    const QStringList taken = folder.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QString date = QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"));
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("%1-%2.log").arg(date).arg(n);
        if (!taken.contains(name, Qt::CaseSensitive))
            return name;
    }
}

} // namespace

struct GlobalLogger::Private {
    std::unique_ptr<QFile> file;
    std::unique_ptr<QTextStream> stream;
    QString folder;            // empty until the file is chosen
    bool started = false;      // the file is chosen; lines no longer wait in `pending`
    bool writeThrough = false; // after the exit flush every line goes straight to the file
    QStringList pending;      // lines logged before the folder was known
    int droppedPending = 0;
};

// Flushes the process-wide logger when the statics are destroyed at exit. The logger itself is
// never destroyed, so objects destroyed later may still log.
struct LoggerExitFlush {
    GlobalLogger* logger;
    ~LoggerExitFlush() { logger->flushAtExit(); }
};

GlobalLogger* GlobalLogger::Instance()
{
    static GlobalLogger* const logger = new GlobalLogger();
    static const LoggerExitFlush exitFlush{logger};
    return logger;
}

GlobalLogger::GlobalLogger()
    : m_d(new Private)
{
    openIfReadyUnsafe();
}

GlobalLogger::~GlobalLogger()
{
    lock();
    openIfReadyUnsafe();
    m_d->stream.reset(); // flushes
    m_d->file.reset();
    unlock();
    delete m_d;
}

void GlobalLogger::lock() const
{
    // A leaf lock held only while a line is written; yield rather than burn a core that the
    // holder may need.
    while (m_locked.exchange(true, std::memory_order_acquire))
        std::this_thread::yield();
}

void GlobalLogger::unlock() const
{
    m_locked.store(false, std::memory_order_release);
}

void GlobalLogger::openIfReadyUnsafe() const
{
    if (m_d->started || !NamesAreSet())
        return;
    QDir folder(AppDataFilePath(QStringLiteral("Logs")));
    folder.mkpath(QStringLiteral("."));
    DeleteOldLogs(folder);
    initFileUnsafe(folder.absoluteFilePath(NewLogName(folder)));

    if (m_d->stream && !m_d->pending.isEmpty()) {
        for (const QString& line : std::as_const(m_d->pending))
            *m_d->stream << line;
        if (m_d->droppedPending > 0) {
            *m_d->stream << Prefix(QtWarningMsg) << QTime::currentTime().toString(Qt::TextDate)
                         << ' ' << m_d->droppedPending << " earlier lines were dropped\n";
        }
    }
    m_d->pending.clear();
    m_d->droppedPending = 0;
}

void GlobalLogger::initFile(const QString& path)
{
    lock();
    initFileUnsafe(path);
    unlock();
}

void GlobalLogger::initFileUnsafe(const QString& path) const
{
    m_d->stream.reset();
    m_d->file = std::make_unique<QFile>(path);
    m_d->started = true;
    m_d->folder = QFileInfo(path).absolutePath();
    if (!m_d->file->open(QIODevice::WriteOnly)) {
        // The program goes on without its log; say so once where a developer would look. (Qt's
        // message handler is never routed into this logger, so this cannot come back here.)
        qWarning("Cannot open the log file %s: %s", qUtf8Printable(path), qUtf8Printable(m_d->file->errorString()));
        return;
    }
    m_d->stream = std::make_unique<QTextStream>(m_d->file.get());
    *m_d->stream << Utils::GetApplicationInfo();
}

void GlobalLogger::writeLineUnsafe(const QString& line, bool flush) const
{
    openIfReadyUnsafe();
    if (!m_d->started) {
        if (m_d->pending.size() < MaxPendingLines)
            m_d->pending.append(line);
        else
            ++m_d->droppedPending;
        return;
    }
    if (!m_d->stream)
        return; // the file could not be opened
    *m_d->stream << line;
    if (flush || m_d->writeThrough)
        m_d->stream->flush();
}

void GlobalLogger::message(QtMsgType type, const char* format, ...) const
{
    va_list args;
    va_start(args, format);
    const QString text = QString::vasprintf(format, args);
    va_end(args);

    QString line;
    line.reserve(8 + 8 + 1 + text.size() + 1);
    line += QLatin1String(Prefix(type));
    line += QTime::currentTime().toString(Qt::TextDate);
    line += QLatin1Char(' ');
    line += text;
    line += QLatin1Char('\n');

    lock();
    writeLineUnsafe(line, IsWarningOrWorse(type));
    unlock();
}

void GlobalLogger::flushAtExit()
{
    lock();
    openIfReadyUnsafe();
    m_d->writeThrough = true;
    if (m_d->stream)
        m_d->stream->flush();
    unlock();
}

bool GlobalLogger::saveLogs(const QString& path)
{
    lock();
    openIfReadyUnsafe();
    if (m_d->stream)
        m_d->stream->flush();
    const QString folderPath = m_d->folder;
    unlock();
    if (folderPath.isEmpty())
        return false;

    QFileInfoList files = QDir(folderPath).entryInfoList(QDir::Files, QDir::Time | QDir::Reversed);
    if (files.size() > ExportedFiles)
        files = files.mid(files.size() - ExportedFiles);

    QByteArray bundle;
    bool anyRead = false;
    for (const QFileInfo& info : std::as_const(files)) {
        const QString name = info.fileName();
        bundle += name.toUtf8();
        bundle += '\n';
        bundle += QByteArray::number(info.size());
        bundle += " bytes\n";
        if (!name.endsWith(QLatin1String(".log"), Qt::CaseSensitive)) {
            bundle += "Wrong file name.\n";
        } else if (info.size() > MaxExportedFileSize) {
            bundle += "File's too big.\n";
        } else {
            QFile file(info.absoluteFilePath());
            if (file.open(QIODevice::ReadOnly)) {
                bundle += file.readAll();
                bundle += '\n';
                anyRead = true;
            } else {
                bundle += "Cannot open the file.\n";
            }
        }
    }
    if (!anyRead)
        return false;

    // Written aside and moved into place only when complete, so a failed export never leaves a
    // truncated bundle where an earlier one was.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bundle) != bundle.size())
        return false;
    return out.commit();
}
