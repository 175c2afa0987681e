#include "app/MetadataInitializer.h"

#include "devices/IDeviceImpl.h"
#include "ui_models/QmlEnumTypes.h"

#include <QMetaType>

MetadataInitializer::MetadataInitializer()
{
    qRegisterMetaType<Devices::SharedDeviceImpl>("Devices::SharedDeviceImpl");

    UIModels::RegisterQmlEnumTypes();
}
