#pragma once

#include "theme/ITheme.h"

namespace Theme {

// Family names of the fonts shipped under ":/fonts/" (see ApplicationFonts.h): the body
// family and the wide display family used for captions and figures.
inline constexpr const char BodyFontFamily[] = "Inter";
inline constexpr const char CaptionFontFamily[] = "Roadgeek 2014 Series F";

// The application's one theme: light text and controls on near-black surfaces.
class DarkTheme : public ITheme {
public:
    explicit DarkTheme(QObject* parent = nullptr);
    ~DarkTheme() override;
};

} // namespace Theme
