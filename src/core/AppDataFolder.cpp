#include "core/AppDataFolder.h"

#include <QDir>
#include <QStandardPaths>

QString AppDataFilePath(const QString& name)
{
    QDir folder(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    folder.mkpath(QStringLiteral("."));
    return folder.absoluteFilePath(name);
}
