#include "utils/Utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>

#include <algorithm>

namespace Utils {

void Raw::ReverseEndianImpl(uint8_t* data, size_t length)
{
    if (length > 1)
        std::reverse(data, data + length);
}

const QString& GetDummyQString()
{
    static const QString empty;
    return empty;
}

const char* GetStrSuccessFail(bool success)
{
    return success ? "success" : "fail";
}

bool IsAsciiOnly(const QString& text)
{
    return text.toUtf8().size() == text.size();
}

QString WithFileSuffix(const QString& path, const QString& suffix)
{
    // A folder (no file name after the last separator) stays as it is: writing to it fails as it
    // should, instead of making a hidden file named after the extension alone.
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')) || path.endsWith(suffix, Qt::CaseInsensitive))
        return path;
    return path + suffix;
}

QString LocalPathFromDialog(const QUrl& selected, const QUrl& folder)
{
    if (selected.isLocalFile())
        return QDir::cleanPath(selected.toLocalFile());
    QString path;
    if (selected.scheme().isEmpty())
        path = selected.path(QUrl::FullyDecoded);
    else if (selected.scheme().size() == 1)
        path = selected.toString(QUrl::FullyDecoded); // a Windows drive letter, not a scheme
    if (path.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    // A relative name belongs in the folder the dialog showed, never in the working directory.
    QString base;
    if (folder.isLocalFile())
        base = folder.toLocalFile();
    else if (folder.scheme().isEmpty())
        base = folder.path(QUrl::FullyDecoded);
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        return QString();
    return QDir::cleanPath(QDir(base).filePath(path));
}

QString GetApplicationInfo()
{
    QString info;
    info.reserve(200);
    info += QStringLiteral("OS: ") + QSysInfo::prettyProductName() + QStringLiteral("; ") + QSysInfo::kernelType() +
            QLatin1Char(' ') + QSysInfo::kernelVersion() + QLatin1Char('\n');
    info += QStringLiteral("Qt versions: compiled = ") + QStringLiteral(QT_VERSION_STR) +
            QStringLiteral("; linked = ") + QString::fromLatin1(qVersion()) + QLatin1Char('\n');
    info += QCoreApplication::applicationName() + QStringLiteral(" version: ") +
            QCoreApplication::applicationVersion() + QStringLiteral(" (") + QSysInfo::buildCpuArchitecture() +
            QStringLiteral(")\n");
    return info;
}

namespace {
thread_local bool t_isMainThread = false;
}

void SetUpMainThread()
{
    t_isMainThread = true;
}

bool IsMainThread()
{
    return t_isMainThread;
}

} // namespace Utils
