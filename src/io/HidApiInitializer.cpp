#include "io/HidApiInitializer.h"

#include "core/GlobalLogger.h"

#include <hidapi.h>

namespace Platform {

HidApiInitializer& HidApiInitializer::Instance()
{
    static HidApiInitializer instance;
    return instance;
}

HidApiInitializer::HidApiInitializer()
{
    if (hid_init() != 0)
        GlobalLogger::Instance()->message(QtCriticalMsg, "hidapi failed to initialise: %s",
                                          QString::fromWCharArray(hid_error(nullptr)).toUtf8().constData());
}

HidApiInitializer::~HidApiInitializer()
{
    hid_exit();
}

} // namespace Platform
