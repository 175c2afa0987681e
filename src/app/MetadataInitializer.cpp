#include "app/MetadataInitializer.h"

MetadataInitializer::MetadataInitializer()
{
    // In this order: the shared device pointer, then each "Velmor.Enums" type through its
    // class's own RegisterType().
}
