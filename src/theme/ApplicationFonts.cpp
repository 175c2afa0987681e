#include "theme/ApplicationFonts.h"

#include <QFontDatabase>

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

int RegisterApplicationFonts()
{
    int registered = 0;
    for (const QString& file : ApplicationFontFiles()) {
        if (QFontDatabase::addApplicationFont(file) >= 0)
            ++registered;
    }
    return registered;
}

} // namespace Theme
