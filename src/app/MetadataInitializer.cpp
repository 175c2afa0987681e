#include "app/MetadataInitializer.h"

#include "devices/IDeviceImpl.h"

#include <QMetaType>

MetadataInitializer::MetadataInitializer()
{
    qRegisterMetaType<Devices::SharedDeviceImpl>("Devices::SharedDeviceImpl");
    // Then each "Velmor.Enums" type, in this order, through its class's own RegisterType().
}
