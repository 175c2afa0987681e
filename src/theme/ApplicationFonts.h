#pragma once

#include <QStringList>

namespace Theme {

// The embedded font files, in registration order: the body family in demi-bold, medium and
// regular, then the display family. Their family names are those the theme carries.
QStringList ApplicationFontFiles();

// Registers every file of ApplicationFontFiles() with the application's font database and
// returns how many were accepted. Needs a QGuiApplication.
int RegisterApplicationFonts();

} // namespace Theme
