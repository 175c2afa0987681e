#include "core/GlobalLogger.h"

#include "core/AppDataFolder.h"
#include "core/SafeFile.h"
#include "utils/Utils.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

namespace {

// Lines logged before the log folder is known; beyond this only a count is kept.
constexpr int MaxPendingLines = 500;

const char* Prefix(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "D:      ";
    case QtWarningMsg: return "WARN:   ";
    case QtCriticalMsg: return "ERR:    ";
    case QtFatalMsg: return "FATAL:  ";
    case QtInfoMsg: return "I:      ";
    }
    return "        ";
}

// Characters that would end the line, or move, reorder or hide text, when the log is read: the C0
// and C1 controls, DEL, the Unicode line and paragraph separators and the invisible formatting
// characters (bidi embeddings, overrides and isolates, zero-width characters, the byte order mark).
bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           QChar::category(char32_t(c)) == QChar::Other_Format;
}

// Messages carry text from servers, files and the headset; written as it is, a newline in it would
// start a line that looks like the program's own. Controls are written as escapes instead, so one
// message is always one line.
void EscapeControls(QString& text)
{
    const auto first = std::find_if(text.cbegin(), text.cend(), [](QChar c) { return IsControl(c.unicode()); });
    if (first == text.cend())
        return;
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        if (!IsControl(u)) {
            escaped += c;
        } else if (u == '\n') {
            escaped += QLatin1String("\\n");
        } else if (u == '\r') {
            escaped += QLatin1String("\\r");
        } else if (u == '\t') {
            escaped += QLatin1String("\\t");
        } else if (u < 0x100) {
            escaped += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        } else {
            escaped += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        }
    }
    text = std::move(escaped);
}

// The time of day as "HH:mm:ss" (what Qt::TextDate gives for a time), formatted once per second
// and thread: most lines of a busy second share it.
const char* TimeOfDay()
{
    thread_local time_t formattedSecond = -1;
    thread_local char text[16] = {};
    const time_t now = ::time(nullptr);
    if (now != formattedSecond) {
        struct tm local = {};
        if (::localtime_r(&now, &local))
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
        formattedSecond = now;
    }
    return text;
}

// The folder is named after the application and the organisation; until both are set, any folder
// would be the wrong one.
bool NamesAreSet()
{
    return !QCoreApplication::organizationName().isEmpty() && !QCoreApplication::applicationName().isEmpty();
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
    const QStringList taken =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QString date = QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"));
    for (int n = 1;; ++n) {
        QString name = QStringLiteral("%1-%2.log").arg(date).arg(n);
        if (!taken.contains(name, Qt::CaseSensitive))
            return name;
    }
}

} // namespace

struct GlobalLogger::Private {
    std::unique_ptr<QFile> file; // open, unbuffered; null when it could not be opened
    QString folder;              // empty until the file is chosen
    bool started = false;        // the file is chosen; lines no longer wait in `pending`
    QList<QByteArray> pending;   // lines logged before the folder was known
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
    m_d->file.reset();
    unlock();
    delete m_d;
}

void GlobalLogger::lock() const
{
    // A leaf lock held only while a line is written.
    m_lock.lock();
}

void GlobalLogger::unlock() const
{
    m_lock.unlock();
}

void GlobalLogger::openIfReadyUnsafe() const
{
    if (m_d->started || !NamesAreSet())
        return;
    QDir folder(AppDataFilePath(QStringLiteral("Logs")));
    folder.mkpath(QStringLiteral("."));
    DeleteOldLogs(folder);
    initFileUnsafe(folder.absoluteFilePath(NewLogName(folder)));

    if (m_d->file && !m_d->pending.isEmpty()) {
        QByteArray lines;
        for (const QByteArray& line : std::as_const(m_d->pending))
            lines += line;
        if (m_d->droppedPending > 0) {
            lines += Prefix(QtWarningMsg);
            lines += TimeOfDay();
            lines += ' ' + QByteArray::number(m_d->droppedPending) + " earlier lines were dropped\n";
        }
        m_d->file->write(lines);
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
    m_d->file = std::make_unique<QFile>(path);
    m_d->started = true;
    m_d->folder = QFileInfo(path).absolutePath();
    // Unbuffered: each line is handed to the system as it is written, so it is in the file even
    // when the process is killed or crashes right after (the system writes it out on its own).
    if (!m_d->file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // The program goes on without its log; say so once where a developer would look. (Qt's
        // message handler is never routed into this logger, so this cannot come back here.)
        qWarning("Cannot open the log file %s: %s", qUtf8Printable(path), qUtf8Printable(m_d->file->errorString()));
        m_d->file.reset();
        return;
    }
    m_d->file->write(Utils::GetApplicationInfo().toUtf8());
}

void GlobalLogger::writeLineUnsafe(const QByteArray& line) const
{
    openIfReadyUnsafe();
    if (!m_d->started) {
        if (m_d->pending.size() < MaxPendingLines)
            m_d->pending.append(line);
        else
            ++m_d->droppedPending;
        return;
    }
    if (m_d->file)
        m_d->file->write(line);
}

void GlobalLogger::message(QtMsgType type, const char* format, ...) const
{
    va_list args;
    va_start(args, format);
    const QString text = QString::vasprintf(format, args);
    va_end(args);
    message(type, text);
}

void GlobalLogger::message(QtMsgType type, QString text) const
{
    EscapeControls(text);

    // Everything but the write itself happens outside the lock.
    const QByteArray utf8 = text.toUtf8();
    QByteArray line;
    line.reserve(8 + 8 + 1 + utf8.size() + 1);
    line += Prefix(type);
    line += TimeOfDay();
    line += ' ';
    line += utf8;
    line += '\n';

    lock();
    writeLineUnsafe(line);
    unlock();
}

void GlobalLogger::flushAtExit()
{
    // Lines still waiting for the names go to the file now, if the names came after all.
    lock();
    openIfReadyUnsafe();
    unlock();
}

bool GlobalLogger::saveLogs(const QString& path)
{
    lock();
    openIfReadyUnsafe();
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
            // Only a plain file is read: a link in the folder to a FIFO would block the export
            // for good, and one to a device would never end.
            QFile file(info.absoluteFilePath());
            QString error;
            if (OpenRegularFile(file, error)) {
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
    QString error;
    if (WriteFileWhole(path, bundle, error))
        return true;
    message(QtWarningMsg, "Cannot save the logs: %s", qUtf8Printable(error));
    return false;
}
