#include "platform/FilesHelper.h"

#include "app/core/GlobalLogger.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace Platform {

bool FilesHelper::ShowFileInFolder(const QString& path)
{
    if (path.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "No file to show in its folder.");
        return false;
    }
    // The desktop services open folders, not a file selected inside one; the folder is the
    // nearest they offer.
    const QString folder = QFileInfo(path).absolutePath();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        return true;
    GlobalLogger::Instance()->message(QtWarningMsg, "Cannot open the folder %s.",
        qUtf8Printable(QDir::toNativeSeparators(folder)));
    return false;
}

} // namespace Platform
