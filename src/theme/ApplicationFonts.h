#pragma once

#include <QByteArray>
#include <QStringList>

namespace Theme {

// The embedded font files, in registration order: the body family in demi-bold, medium and
// regular, then the display family. Their family names are those the theme carries.
QStringList ApplicationFontFiles();

// The bytes of one embedded font file, without a copy when it is stored uncompressed (as the
// build stores them); empty when there is no such file.
QByteArray ApplicationFontData(const QString& file);

// Registers every file of ApplicationFontFiles() with the application's font database and
// returns how many were accepted. Needs a QGuiApplication.
int RegisterApplicationFonts();

} // namespace Theme
