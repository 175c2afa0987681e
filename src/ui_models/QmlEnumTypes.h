#pragma once

namespace UIModels {

// Registers the uncreatable types of the QML module "Velmor.Enums" 1.0 that the screens and
// dialogs import, each by its own class.
void RegisterQmlEnumTypes();

} // namespace UIModels
