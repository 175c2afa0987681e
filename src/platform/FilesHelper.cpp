#include "platform/FilesHelper.h"

#include "core/GlobalLogger.h"
#include "platform/SystemServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace Platform {

namespace {

bool OpenFolder(const QString& folder)
{
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        return true;
    GlobalLogger::Instance()->message(QtWarningMsg, "Cannot open the folder %s.",
                                      qUtf8Printable(QDir::toNativeSeparators(folder)));
    return false;
}

} // namespace

bool FilesHelper::ShowFileInFolder(const QString& path)
{
    if (path.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "No file to show in its folder.");
        return false;
    }
    // The file manager selects the file in its folder; where none answers, the folder alone is
    // the nearest the desktop offers.
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (AskFileManagerToShow(file.absoluteFilePath(), [folder] { OpenFolder(folder); }))
        return true;
    return OpenFolder(folder);
}

} // namespace Platform
