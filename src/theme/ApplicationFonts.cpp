#include "theme/ApplicationFonts.h"

#include <QFontDatabase>
#include <QResource>

namespace Theme {

QStringList ApplicationFontFiles()
{
    return {
        QStringLiteral(":/fonts/Inter-SemiBold.otf"),
        QStringLiteral(":/fonts/Inter-Medium.otf"),
        QStringLiteral(":/fonts/Inter-Regular.otf"),
        QStringLiteral(":/fonts/Roadgeek2014-SeriesF.ttf"),
    };
}

QByteArray ApplicationFontData(const QString& file)
{
    const QResource resource(file);
    if (!resource.isValid())
        return {};
    if (resource.compressionAlgorithm() != QResource::NoCompression)
        return resource.uncompressedData();
    // The embedded data lives as long as the program: the font database and every font engine
    // read it in place. Registering by file name would copy the whole file into the database,
    // and again into each engine made from it.
    return QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()), resource.size());
}

int RegisterApplicationFonts()
{
    int registered = 0;
    for (const QString& file : ApplicationFontFiles()) {
        if (QFontDatabase::addApplicationFontFromData(ApplicationFontData(file)) >= 0)
            ++registered;
    }
    return registered;
}

} // namespace Theme
