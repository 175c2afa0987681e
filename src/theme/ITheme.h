#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>

namespace Theme {

// The read-only look of the user interface: every colour, font, size and image location that
// the QML side uses, reached there as App.theme.<name>. The values never change during the
// object's life, so every property is CONSTANT; a concrete theme fills the members in its
// constructor. QML sees the object through this class's meta-object only.
class ITheme : public QObject {
    Q_OBJECT
    Q_PROPERTY(QColor colorTransparent READ colorTransparent CONSTANT)
    Q_PROPERTY(QColor colorEmpty READ colorEmpty CONSTANT)
    Q_PROPERTY(QColor colorText READ colorText CONSTANT)
    Q_PROPERTY(QColor colorTextDisabled READ colorTextDisabled CONSTANT)
    Q_PROPERTY(QColor colorTextHighlighted READ colorTextHighlighted CONSTANT)
    Q_PROPERTY(QColor colorTextPreset READ colorTextPreset CONSTANT)
    Q_PROPERTY(QColor colorTextWarning READ colorTextWarning CONSTANT)
    Q_PROPERTY(QColor colorTextSuccess READ colorTextSuccess CONSTANT)
    Q_PROPERTY(QColor colorTitle READ colorTitle CONSTANT)
    Q_PROPERTY(QColor colorButton READ colorButton CONSTANT)
    Q_PROPERTY(QColor colorButtonHovered READ colorButtonHovered CONSTANT)
    Q_PROPERTY(QColor colorButtonPressed READ colorButtonPressed CONSTANT)
    Q_PROPERTY(QColor colorButtonDisabled READ colorButtonDisabled CONSTANT)
    Q_PROPERTY(QColor colorButtonHidden READ colorButtonHidden CONSTANT)
    Q_PROPERTY(QColor colorButtonHiddenHovered READ colorButtonHiddenHovered CONSTANT)
    Q_PROPERTY(QColor colorButtonHiddenPressed READ colorButtonHiddenPressed CONSTANT)
    Q_PROPERTY(QColor colorButtonGroup READ colorButtonGroup CONSTANT)
    Q_PROPERTY(QColor colorButtonGroupSelected READ colorButtonGroupSelected CONSTANT)
    Q_PROPERTY(QColor colorHint READ colorHint CONSTANT)
    Q_PROPERTY(QColor colorPreset READ colorPreset CONSTANT)
    Q_PROPERTY(QColor colorPresetActive READ colorPresetActive CONSTANT)
    Q_PROPERTY(QColor colorPresetHovered READ colorPresetHovered CONSTANT)
    Q_PROPERTY(QColor colorMenuItemHovered READ colorMenuItemHovered CONSTANT)
    Q_PROPERTY(QColor colorTile READ colorTile CONSTANT)
    Q_PROPERTY(QColor colorStatusAvailable READ colorStatusAvailable CONSTANT)
    Q_PROPERTY(QColor colorStatusNotConnected READ colorStatusNotConnected CONSTANT)
    Q_PROPERTY(QColor colorProgressBarIndicator READ colorProgressBarIndicator CONSTANT)
    Q_PROPERTY(QColor colorProgressBarBackground READ colorProgressBarBackground CONSTANT)
    Q_PROPERTY(QColor colorLegalTermsBackground READ colorLegalTermsBackground CONSTANT)
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QString fontFamilyCaption READ fontFamilyCaption CONSTANT)
    Q_PROPERTY(int fontSize READ fontSize CONSTANT)
    Q_PROPERTY(int fontSizeCaptionSmall READ fontSizeCaptionSmall CONSTANT)
    Q_PROPERTY(int fontSizeCaptionLarge READ fontSizeCaptionLarge CONSTANT)
    Q_PROPERTY(int fontSizeTitle READ fontSizeTitle CONSTANT)
    Q_PROPERTY(double fontSpacing READ fontSpacing CONSTANT)
    Q_PROPERTY(int controlHeight READ controlHeight CONSTANT)
    Q_PROPERTY(int controlStatusHeight READ controlStatusHeight CONSTANT)
    Q_PROPERTY(int controlButtonHeight READ controlButtonHeight CONSTANT)
    Q_PROPERTY(int controlPadding READ controlPadding CONSTANT)
    Q_PROPERTY(int controlRadius READ controlRadius CONSTANT)
    Q_PROPERTY(int controlButtonGroupHeight READ controlButtonGroupHeight CONSTANT)
    Q_PROPERTY(int layoutRowSpacingSmall READ layoutRowSpacingSmall CONSTANT)
    Q_PROPERTY(int layoutRowSpacingLarge READ layoutRowSpacingLarge CONSTANT)
    Q_PROPERTY(int sliderRadius READ sliderRadius CONSTANT)
    Q_PROPERTY(int sliderHandleWidth READ sliderHandleWidth CONSTANT)
    Q_PROPERTY(int sliderHandleHeight READ sliderHandleHeight CONSTANT)
    Q_PROPERTY(int sliderHandleBorder READ sliderHandleBorder CONSTANT)
    Q_PROPERTY(QColor sliderHandleColor READ sliderHandleColor CONSTANT)
    Q_PROPERTY(int sliderHandleMarkWidth READ sliderHandleMarkWidth CONSTANT)
    Q_PROPERTY(int sliderHandleMarkHeight READ sliderHandleMarkHeight CONSTANT)
    Q_PROPERTY(QColor sliderHandleMarkColor READ sliderHandleMarkColor CONSTANT)
    Q_PROPERTY(int sliderBackgroundWidth READ sliderBackgroundWidth CONSTANT)
    Q_PROPERTY(QColor sliderBackgroundColor READ sliderBackgroundColor CONSTANT)
    Q_PROPERTY(QColor sliderBackgroundFilledColor READ sliderBackgroundFilledColor CONSTANT)
    Q_PROPERTY(int sliderScaleWidth READ sliderScaleWidth CONSTANT)
    Q_PROPERTY(int sliderScaleHeight READ sliderScaleHeight CONSTANT)
    Q_PROPERTY(QColor textInputBackgroundColor READ textInputBackgroundColor CONSTANT)
    Q_PROPERTY(QColor textInputBackgroundColorDisabled READ textInputBackgroundColorDisabled CONSTANT)
    Q_PROPERTY(QColor textInputBackgroundColorHovered READ textInputBackgroundColorHovered CONSTANT)
    Q_PROPERTY(QColor textInputBorderColor READ textInputBorderColor CONSTANT)
    Q_PROPERTY(QColor textInputBorderColorHovered READ textInputBorderColorHovered CONSTANT)
    Q_PROPERTY(QColor textInputBorderColorActive READ textInputBorderColorActive CONSTANT)
    Q_PROPERTY(QColor switchColorActive READ switchColorActive CONSTANT)
    Q_PROPERTY(QColor switchColorRegular READ switchColorRegular CONSTANT)
    Q_PROPERTY(QColor switchColorDisabled READ switchColorDisabled CONSTANT)
    Q_PROPERTY(QColor switchIndicatorColorRegular READ switchIndicatorColorRegular CONSTANT)
    Q_PROPERTY(QColor switchIndicatorColorDisabled READ switchIndicatorColorDisabled CONSTANT)
    Q_PROPERTY(int switchIndicatorHeight READ switchIndicatorHeight CONSTANT)
    Q_PROPERTY(int switchIndicatorWidth READ switchIndicatorWidth CONSTANT)
    Q_PROPERTY(int switchIndicatorRaduis READ switchIndicatorRaduis CONSTANT)
    Q_PROPERTY(int switchIndicatorHandleSize READ switchIndicatorHandleSize CONSTANT)
    Q_PROPERTY(int switchIndicatorHandleRaduis READ switchIndicatorHandleRaduis CONSTANT)
    Q_PROPERTY(QColor dialBackgroundColor READ dialBackgroundColor CONSTANT)
    Q_PROPERTY(QColor dialBackgroundBorderColor READ dialBackgroundBorderColor CONSTANT)
    Q_PROPERTY(QColor dialHandleColor READ dialHandleColor CONSTANT)
    Q_PROPERTY(QColor dialValueLabelColor READ dialValueLabelColor CONSTANT)
    Q_PROPERTY(QColor dialValueInputColor READ dialValueInputColor CONSTANT)
    Q_PROPERTY(QColor dialValueInputHoveredColor READ dialValueInputHoveredColor CONSTANT)
    Q_PROPERTY(QColor dialArcColor READ dialArcColor CONSTANT)
    Q_PROPERTY(QColor dialArcIndicatorColor READ dialArcIndicatorColor CONSTANT)
    Q_PROPERTY(QString resourcesPath READ resourcesPath CONSTANT)
    Q_PROPERTY(int titleBarSize READ titleBarSize CONSTANT)
    Q_PROPERTY(int windowBorderWidth READ windowBorderWidth CONSTANT)

public:
    ~ITheme() override;

    // The font families name fonts that the application registers itself, off the GUI thread
    // while the window loads; `gate` returns once they are registered, and the family getters
    // call it first, so that no text is laid out in a fallback font.
    void setFontsGate(std::function<void()> gate) { m_fontsGate = std::move(gate); }

    QColor colorTransparent() const { return m_colorTransparent; }
    QColor colorEmpty() const { return m_colorEmpty; }
    QColor colorText() const { return m_colorText; }
    QColor colorTextDisabled() const { return m_colorTextDisabled; }
    QColor colorTextHighlighted() const { return m_colorTextHighlighted; }
    QColor colorTextPreset() const { return m_colorTextPreset; }
    QColor colorTextWarning() const { return m_colorTextWarning; }
    QColor colorTextSuccess() const { return m_colorTextSuccess; }
    QColor colorTitle() const { return m_colorTitle; }
    QColor colorButton() const { return m_colorButton; }
    QColor colorButtonHovered() const { return m_colorButtonHovered; }
    QColor colorButtonPressed() const { return m_colorButtonPressed; }
    QColor colorButtonDisabled() const { return m_colorButtonDisabled; }
    QColor colorButtonHidden() const { return m_colorButtonHidden; }
    QColor colorButtonHiddenHovered() const { return m_colorButtonHiddenHovered; }
    QColor colorButtonHiddenPressed() const { return m_colorButtonHiddenPressed; }
    QColor colorButtonGroup() const { return m_colorButtonGroup; }
    QColor colorButtonGroupSelected() const { return m_colorButtonGroupSelected; }
    QColor colorHint() const { return m_colorHint; }
    QColor colorPreset() const { return m_colorPreset; }
    QColor colorPresetActive() const { return m_colorPresetActive; }
    QColor colorPresetHovered() const { return m_colorPresetHovered; }
    QColor colorMenuItemHovered() const { return m_colorMenuItemHovered; }
    QColor colorTile() const { return m_colorTile; }
    QColor colorStatusAvailable() const { return m_colorStatusAvailable; }
    QColor colorStatusNotConnected() const { return m_colorStatusNotConnected; }
    QColor colorProgressBarIndicator() const { return m_colorProgressBarIndicator; }
    QColor colorProgressBarBackground() const { return m_colorProgressBarBackground; }
    QColor colorLegalTermsBackground() const { return m_colorLegalTermsBackground; }
    QString fontFamily() const
    {
        awaitFonts();
        return m_fontFamily;
    }
    QString fontFamilyCaption() const
    {
        awaitFonts();
        return m_fontFamilyCaption;
    }
    int fontSize() const { return m_fontSize; }
    int fontSizeCaptionSmall() const { return m_fontSizeCaptionSmall; }
    int fontSizeCaptionLarge() const { return m_fontSizeCaptionLarge; }
    int fontSizeTitle() const { return m_fontSizeTitle; }
    double fontSpacing() const { return m_fontSpacing; }
    int controlHeight() const { return m_controlHeight; }
    int controlStatusHeight() const { return m_controlStatusHeight; }
    int controlButtonHeight() const { return m_controlButtonHeight; }
    int controlPadding() const { return m_controlPadding; }
    int controlRadius() const { return m_controlRadius; }
    int controlButtonGroupHeight() const { return m_controlButtonGroupHeight; }
    int layoutRowSpacingSmall() const { return m_layoutRowSpacingSmall; }
    int layoutRowSpacingLarge() const { return m_layoutRowSpacingLarge; }
    int sliderRadius() const { return m_sliderRadius; }
    int sliderHandleWidth() const { return m_sliderHandleWidth; }
    int sliderHandleHeight() const { return m_sliderHandleHeight; }
    int sliderHandleBorder() const { return m_sliderHandleBorder; }
    QColor sliderHandleColor() const { return m_sliderHandleColor; }
    int sliderHandleMarkWidth() const { return m_sliderHandleMarkWidth; }
    int sliderHandleMarkHeight() const { return m_sliderHandleMarkHeight; }
    QColor sliderHandleMarkColor() const { return m_sliderHandleMarkColor; }
    int sliderBackgroundWidth() const { return m_sliderBackgroundWidth; }
    QColor sliderBackgroundColor() const { return m_sliderBackgroundColor; }
    QColor sliderBackgroundFilledColor() const { return m_sliderBackgroundFilledColor; }
    int sliderScaleWidth() const { return m_sliderScaleWidth; }
    int sliderScaleHeight() const { return m_sliderScaleHeight; }
    QColor textInputBackgroundColor() const { return m_textInputBackgroundColor; }
    QColor textInputBackgroundColorDisabled() const { return m_textInputBackgroundColorDisabled; }
    QColor textInputBackgroundColorHovered() const { return m_textInputBackgroundColorHovered; }
    QColor textInputBorderColor() const { return m_textInputBorderColor; }
    QColor textInputBorderColorHovered() const { return m_textInputBorderColorHovered; }
    QColor textInputBorderColorActive() const { return m_textInputBorderColorActive; }
    QColor switchColorActive() const { return m_switchColorActive; }
    QColor switchColorRegular() const { return m_switchColorRegular; }
    QColor switchColorDisabled() const { return m_switchColorDisabled; }
    QColor switchIndicatorColorRegular() const { return m_switchIndicatorColorRegular; }
    QColor switchIndicatorColorDisabled() const { return m_switchIndicatorColorDisabled; }
    int switchIndicatorHeight() const { return m_switchIndicatorHeight; }
    int switchIndicatorWidth() const { return m_switchIndicatorWidth; }
    int switchIndicatorRaduis() const { return m_switchIndicatorRaduis; }
    int switchIndicatorHandleSize() const { return m_switchIndicatorHandleSize; }
    int switchIndicatorHandleRaduis() const { return m_switchIndicatorHandleRaduis; }
    QColor dialBackgroundColor() const { return m_dialBackgroundColor; }
    QColor dialBackgroundBorderColor() const { return m_dialBackgroundBorderColor; }
    QColor dialHandleColor() const { return m_dialHandleColor; }
    QColor dialValueLabelColor() const { return m_dialValueLabelColor; }
    QColor dialValueInputColor() const { return m_dialValueInputColor; }
    QColor dialValueInputHoveredColor() const { return m_dialValueInputHoveredColor; }
    QColor dialArcColor() const { return m_dialArcColor; }
    QColor dialArcIndicatorColor() const { return m_dialArcIndicatorColor; }
    QString resourcesPath() const { return m_resourcesPath; }
    int titleBarSize() const { return m_titleBarSize; }
    int windowBorderWidth() const { return m_windowBorderWidth; }

protected:
    explicit ITheme(QObject* parent = nullptr);

    QColor m_colorTransparent;
    QColor m_colorEmpty;
    QColor m_colorText;
    QColor m_colorTextDisabled;
    QColor m_colorTextHighlighted;
    QColor m_colorTextPreset;
    QColor m_colorTextWarning;
    QColor m_colorTextSuccess;
    QColor m_colorTitle;
    QColor m_colorButton;
    QColor m_colorButtonHovered;
    QColor m_colorButtonPressed;
    QColor m_colorButtonDisabled;
    QColor m_colorButtonHidden;
    QColor m_colorButtonHiddenHovered;
    QColor m_colorButtonHiddenPressed;
    QColor m_colorButtonGroup;
    QColor m_colorButtonGroupSelected;
    QColor m_colorHint;
    QColor m_colorPreset;
    QColor m_colorPresetActive;
    QColor m_colorPresetHovered;
    QColor m_colorMenuItemHovered;
    QColor m_colorTile;
    QColor m_colorStatusAvailable;
    QColor m_colorStatusNotConnected;
    QColor m_colorProgressBarIndicator;
    QColor m_colorProgressBarBackground;
    QColor m_colorLegalTermsBackground;
    QString m_fontFamily;
    QString m_fontFamilyCaption;
    int m_fontSize = 0;
    int m_fontSizeCaptionSmall = 0;
    int m_fontSizeCaptionLarge = 0;
    int m_fontSizeTitle = 0;
    double m_fontSpacing = 0.0;
    int m_controlHeight = 0;
    int m_controlStatusHeight = 0;
    int m_controlButtonHeight = 0;
    int m_controlPadding = 0;
    int m_controlRadius = 0;
    int m_controlButtonGroupHeight = 0;
    int m_layoutRowSpacingSmall = 0;
    int m_layoutRowSpacingLarge = 0;
    int m_sliderRadius = 0;
    int m_sliderHandleWidth = 0;
    int m_sliderHandleHeight = 0;
    int m_sliderHandleBorder = 0;
    QColor m_sliderHandleColor;
    int m_sliderHandleMarkWidth = 0;
    int m_sliderHandleMarkHeight = 0;
    QColor m_sliderHandleMarkColor;
    int m_sliderBackgroundWidth = 0;
    QColor m_sliderBackgroundColor;
    QColor m_sliderBackgroundFilledColor;
    int m_sliderScaleWidth = 0;
    int m_sliderScaleHeight = 0;
    QColor m_textInputBackgroundColor;
    QColor m_textInputBackgroundColorDisabled;
    QColor m_textInputBackgroundColorHovered;
    QColor m_textInputBorderColor;
    QColor m_textInputBorderColorHovered;
    QColor m_textInputBorderColorActive;
    QColor m_switchColorActive;
    QColor m_switchColorRegular;
    QColor m_switchColorDisabled;
    QColor m_switchIndicatorColorRegular;
    QColor m_switchIndicatorColorDisabled;
    int m_switchIndicatorHeight = 0;
    int m_switchIndicatorWidth = 0;
    int m_switchIndicatorRaduis = 0;
    int m_switchIndicatorHandleSize = 0;
    int m_switchIndicatorHandleRaduis = 0;
    QColor m_dialBackgroundColor;
    QColor m_dialBackgroundBorderColor;
    QColor m_dialHandleColor;
    QColor m_dialValueLabelColor;
    QColor m_dialValueInputColor;
    QColor m_dialValueInputHoveredColor;
    QColor m_dialArcColor;
    QColor m_dialArcIndicatorColor;
    QString m_resourcesPath;
    int m_titleBarSize = 0;
    int m_windowBorderWidth = 0;

private:
    Q_DISABLE_COPY_MOVE(ITheme)

    void awaitFonts() const
    {
        if (m_fontsGate)
            m_fontsGate();
    }

    std::function<void()> m_fontsGate;
};

} // namespace Theme
