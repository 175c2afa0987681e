#include "device_data/AncMode.h"

#include <QCoreApplication>

ENUMER_DEFINE_METADATA(DeviceData::AncMode, data)
{
    using DeviceData::AncMode;
    // Listing order is what the mode selector shows: on, off, transparency.
    data.appendInternal(uint32_t(AncMode::on), "on", QCoreApplication::translate("QCoreApplication", "On"));
    data.appendInternal(uint32_t(AncMode::off), "off", QCoreApplication::translate("QCoreApplication", "Off"));
    data.appendInternal(uint32_t(AncMode::transparency), "transparency",
                        QCoreApplication::translate("QCoreApplication", "Transparency"));
    data.setDefault(uint32_t(AncMode::on));
}
