#include "io/ISolvarineSerialPortClient.h"

#include <QString>

namespace Platform {

QByteArray SerialLogText(const char* data, int64_t size)
{
    QString text = QString::fromLatin1(data, size > 0 ? qsizetype(size) : 0);
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return text.toUtf8();
}

} // namespace Platform
