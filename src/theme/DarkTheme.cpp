#include "theme/DarkTheme.h"

#include <QLatin1String>

namespace Theme {

DarkTheme::DarkTheme(QObject* parent)
    : ITheme(parent)
{
    m_colorTransparent = QColor(0, 0, 0, 0);
    m_colorEmpty = QColor(QLatin1String("#000000"));
    m_colorText = QColor(QLatin1String("#B7B7B7"));
    m_colorTextDisabled = QColor(QLatin1String("#555555"));
    m_colorTextHighlighted = QColor(QLatin1String("#FFFFFF"));
    m_colorTextPreset = QColor(QLatin1String("#E6E6E6"));
    m_colorTextWarning = QColor(QLatin1String("#FFDD00"));
    m_colorTextSuccess = QColor(QLatin1String("#00EA95"));
    m_colorTitle = QColor(QLatin1String("#FFFFFF"));
    m_colorButton = QColor(QLatin1String("#FFFFFF"));
    m_colorButtonHovered = QColor(QLatin1String("#B7B7B7"));
    m_colorButtonPressed = QColor(QLatin1String("#555555"));
    m_colorButtonDisabled = QColor(QLatin1String("#242424"));
    m_colorButtonHidden = QColor(0, 0, 0, 0);
    m_colorButtonHiddenHovered = QColor(QLatin1String("#1F1F1F"));
    m_colorButtonHiddenPressed = QColor(QLatin1String("#242424"));
    m_colorButtonGroup = QColor(QLatin1String("#181818"));
    m_colorButtonGroupSelected = QColor(QLatin1String("#FFFFFF"));
    m_colorHint = QColor(QLatin1String("#8E8E8E"));
    m_colorPreset = QColor(QLatin1String("#111111"));
    m_colorPresetActive = QColor(QLatin1String("#1F1F1F"));
    m_colorPresetHovered = QColor(QLatin1String("#242424"));
    m_colorMenuItemHovered = QColor(QLatin1String("#181818"));
    m_colorTile = QColor(QLatin1String("#111111"));
    m_colorStatusAvailable = QColor(QLatin1String("#1A9FFF"));
    m_colorStatusNotConnected = QColor(QLatin1String("#FFDD00"));
    m_colorProgressBarIndicator = QColor(QLatin1String("#E6E6E6"));
    m_colorProgressBarBackground = QColor(QLatin1String("#1F1F1F"));
    m_colorLegalTermsBackground = QColor(QLatin1String("#181818"));
    m_fontFamily = QLatin1String(BodyFontFamily);
    m_fontFamilyCaption = QLatin1String(CaptionFontFamily);
    m_fontSize = 14;
    m_fontSizeCaptionSmall = 12;
    m_fontSizeCaptionLarge = 20;
    m_fontSizeTitle = 16;
    m_fontSpacing = 0.5;
    m_controlHeight = 20;
    m_controlStatusHeight = 24;
    m_controlButtonHeight = 32;
    m_controlPadding = 6;
    m_controlRadius = 6;
    m_controlButtonGroupHeight = 24;
    m_layoutRowSpacingSmall = 8;
    m_layoutRowSpacingLarge = 20;
    m_sliderRadius = 2;
    m_sliderHandleWidth = 20;
    m_sliderHandleHeight = 12;
    m_sliderHandleBorder = 2;
    m_sliderHandleColor = QColor(QLatin1String("#FFFFFF"));
    m_sliderHandleMarkWidth = 14;
    m_sliderHandleMarkHeight = 2;
    m_sliderHandleMarkColor = QColor(QLatin1String("#E6E6E6"));
    m_sliderBackgroundWidth = 8;
    m_sliderBackgroundColor = QColor(QLatin1String("#1F1F1F"));
    m_sliderBackgroundFilledColor = QColor(QLatin1String("#B7B7B7"));
    m_sliderScaleWidth = 6;
    m_sliderScaleHeight = 3;
    m_textInputBackgroundColor = QColor(QLatin1String("#1F1F1F"));
    m_textInputBackgroundColorDisabled = QColor(QLatin1String("#181818"));
    m_textInputBackgroundColorHovered = QColor(QLatin1String("#242424"));
    m_textInputBorderColor = QColor(QLatin1String("#242424"));
    m_textInputBorderColorHovered = QColor(QLatin1String("#555555"));
    m_textInputBorderColorActive = QColor(QLatin1String("#FFFFFF"));
    m_switchColorActive = QColor(QLatin1String("#E6E6E6"));
    m_switchColorRegular = QColor(QLatin1String("#555555"));
    m_switchColorDisabled = QColor(QLatin1String("#242424"));
    m_switchIndicatorColorRegular = QColor(QLatin1String("#000000"));
    m_switchIndicatorColorDisabled = QColor(QLatin1String("#181818"));
    m_switchIndicatorHeight = 20;
    m_switchIndicatorWidth = 36;
    m_switchIndicatorRaduis = 6;
    m_switchIndicatorHandleSize = 16;
    m_switchIndicatorHandleRaduis = 4;
    m_dialBackgroundColor = QColor(QLatin1String("#111111"));
    m_dialBackgroundBorderColor = QColor(QLatin1String("#1F1F1F"));
    m_dialHandleColor = QColor(QLatin1String("#8A8A8A"));
    m_dialValueLabelColor = QColor(QLatin1String("#8A8A8A"));
    m_dialValueInputColor = QColor(QLatin1String("#B7B7B7"));
    m_dialValueInputHoveredColor = QColor(QLatin1String("#FFFFFF"));
    m_dialArcColor = QColor(QLatin1String("#555555"));
    m_dialArcIndicatorColor = QColor(QLatin1String("#FFFFFF"));
    m_resourcesPath = QLatin1String("qrc:/dark/");
    m_titleBarSize = 32;
    m_windowBorderWidth = 1;
}

DarkTheme::~DarkTheme() = default;

} // namespace Theme
