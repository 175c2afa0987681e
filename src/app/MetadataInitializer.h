#pragma once

// Registers, before the application object exists, the types that queued connections and QML
// need: the shared device pointer ("Devices::SharedDeviceImpl", carried by the device bus's
// signals) and the uncreatable types of the QML module "Velmor.Enums" 1.0. It keeps no state.
class MetadataInitializer {
public:
    MetadataInitializer();
};
