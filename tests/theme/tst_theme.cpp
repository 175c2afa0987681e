#include "theme/ApplicationFonts.h"
#include "theme/DarkTheme.h"

#include <QColor>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QMetaProperty>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QRawFont>
#include <QResource>
#include <QSettings>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

QColor rgb(const char* hex)
{
    return QColor(QLatin1String(hex));
}

// Every property of the theme, in declaration order, with the dark theme's value.
const QList<QPair<const char*, QVariant>>& ExpectedProperties()
{
    static const QList<QPair<const char*, QVariant>> table = {
        {"colorTransparent", QColor(0, 0, 0, 0)},
        {"colorEmpty", rgb("#000000")},
        {"colorText", rgb("#B7B7B7")},
        {"colorTextDisabled", rgb("#555555")},
        {"colorTextHighlighted", rgb("#FFFFFF")},
        {"colorTextPreset", rgb("#E6E6E6")},
        {"colorTextWarning", rgb("#FFDD00")},
        {"colorTextSuccess", rgb("#00EA95")},
        {"colorTitle", rgb("#FFFFFF")},
        {"colorButton", rgb("#FFFFFF")},
        {"colorButtonHovered", rgb("#B7B7B7")},
        {"colorButtonPressed", rgb("#555555")},
        {"colorButtonDisabled", rgb("#242424")},
        {"colorButtonHidden", QColor(0, 0, 0, 0)},
        {"colorButtonHiddenHovered", rgb("#1F1F1F")},
        {"colorButtonHiddenPressed", rgb("#242424")},
        {"colorButtonGroup", rgb("#181818")},
        {"colorButtonGroupSelected", rgb("#FFFFFF")},
        {"colorHint", rgb("#8E8E8E")},
        {"colorPreset", rgb("#111111")},
        {"colorPresetActive", rgb("#1F1F1F")},
        {"colorPresetHovered", rgb("#242424")},
        {"colorMenuItemHovered", rgb("#181818")},
        {"colorTile", rgb("#111111")},
        {"colorStatusAvailable", rgb("#1A9FFF")},
        {"colorStatusNotConnected", rgb("#FFDD00")},
        {"colorProgressBarIndicator", rgb("#E6E6E6")},
        {"colorProgressBarBackground", rgb("#1F1F1F")},
        {"colorLegalTermsBackground", rgb("#181818")},
        {"fontFamily", QStringLiteral("Inter")},
        {"fontFamilyCaption", QStringLiteral("Roadgeek 2014 Series F")},
        {"fontSize", 14},
        {"fontSizeCaptionSmall", 12},
        {"fontSizeCaptionLarge", 20},
        {"fontSizeTitle", 16},
        {"fontSpacing", 0.5},
        {"controlHeight", 20},
        {"controlStatusHeight", 24},
        {"controlButtonHeight", 32},
        {"controlPadding", 6},
        {"controlRadius", 6},
        {"controlButtonGroupHeight", 24},
        {"layoutRowSpacingSmall", 8},
        {"layoutRowSpacingLarge", 20},
        {"sliderRadius", 2},
        {"sliderHandleWidth", 20},
        {"sliderHandleHeight", 12},
        {"sliderHandleBorder", 2},
        {"sliderHandleColor", rgb("#FFFFFF")},
        {"sliderHandleMarkWidth", 14},
        {"sliderHandleMarkHeight", 2},
        {"sliderHandleMarkColor", rgb("#E6E6E6")},
        {"sliderBackgroundWidth", 8},
        {"sliderBackgroundColor", rgb("#1F1F1F")},
        {"sliderBackgroundFilledColor", rgb("#B7B7B7")},
        {"sliderScaleWidth", 6},
        {"sliderScaleHeight", 3},
        {"textInputBackgroundColor", rgb("#1F1F1F")},
        {"textInputBackgroundColorDisabled", rgb("#181818")},
        {"textInputBackgroundColorHovered", rgb("#242424")},
        {"textInputBorderColor", rgb("#242424")},
        {"textInputBorderColorHovered", rgb("#555555")},
        {"textInputBorderColorActive", rgb("#FFFFFF")},
        {"switchColorActive", rgb("#E6E6E6")},
        {"switchColorRegular", rgb("#555555")},
        {"switchColorDisabled", rgb("#242424")},
        {"switchIndicatorColorRegular", rgb("#000000")},
        {"switchIndicatorColorDisabled", rgb("#181818")},
        {"switchIndicatorHeight", 20},
        {"switchIndicatorWidth", 36},
        {"switchIndicatorRaduis", 6},
        {"switchIndicatorHandleSize", 16},
        {"switchIndicatorHandleRaduis", 4},
        {"dialBackgroundColor", rgb("#111111")},
        {"dialBackgroundBorderColor", rgb("#1F1F1F")},
        {"dialHandleColor", rgb("#8A8A8A")},
        {"dialValueLabelColor", rgb("#8A8A8A")},
        {"dialValueInputColor", rgb("#B7B7B7")},
        {"dialValueInputHoveredColor", rgb("#FFFFFF")},
        {"dialArcColor", rgb("#555555")},
        {"dialArcIndicatorColor", rgb("#FFFFFF")},
        {"resourcesPath", QStringLiteral("qrc:/dark/")},
        {"titleBarSize", 32},
        {"windowBorderWidth", 1},
    };
    return table;
}

} // namespace

class TestTheme : public QObject {
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void declaresExactlyTheTableInOrder();
    void offersNoSignalsSlotsOrInvokables();
    void usesTheBaseMetaObject();
    void transparentColoursHaveZeroAlpha();
    void qmlReadsValuesAndRejectsWrites_data();
    void qmlReadsValuesAndRejectsWrites();
    void imagesLiveBelowTheResourcesPath();
    void fontFamiliesMatchTheEmbeddedFonts();
    void embeddedFontsAreReadInPlace();
    void captionFaceDrawsEveryCaptionCharacter();
    void imagesNamedByTheInterfaceExist_data();
    void imagesNamedByTheInterfaceExist();
    void applicationIconExists();
    void noDevicePictureLeavesTheTextsPlainBlack();
    void noDevicePicturesDecodeAsDrawn_data();
    void noDevicePicturesDecodeAsDrawn();
    void qtDialogColoursAreThemeColours_data();
    void qtDialogColoursAreThemeColours();
    void qtDialogTextsAreReadable_data();
    void qtDialogTextsAreReadable();
};

void TestTheme::values_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QVariant>("expected");
    for (const auto& [name, value] : ExpectedProperties())
        QTest::newRow(name) << QByteArray(name) << value;
}

void TestTheme::values()
{
    QFETCH(QByteArray, name);
    QFETCH(QVariant, expected);

    Theme::DarkTheme theme;
    const QMetaObject* meta = theme.metaObject();
    const int index = meta->indexOfProperty(name.constData());
    QVERIFY2(index >= 0, name.constData());
    const QMetaProperty property = meta->property(index);

    QCOMPARE(property.metaType(), expected.metaType());
    QVERIFY(property.isReadable());
    QVERIFY(!property.isWritable());
    QVERIFY(property.isConstant());
    QVERIFY(!property.hasNotifySignal());

    const QVariant actual = property.read(&theme);
    if (expected.metaType().id() == QMetaType::QColor) {
        // Compare every channel, alpha included, so "transparent" cannot pass as black.
        QCOMPARE(actual.value<QColor>().rgba(), expected.value<QColor>().rgba());
        QVERIFY(actual.value<QColor>().isValid());
    } else {
        QCOMPARE(actual, expected);
    }
}

void TestTheme::declaresExactlyTheTableInOrder()
{
    Theme::DarkTheme theme;
    const QMetaObject* meta = theme.metaObject();
    const auto& table = ExpectedProperties();
    QCOMPARE(meta->propertyCount() - meta->propertyOffset(), table.size());
    for (int i = 0; i < table.size(); ++i)
        QCOMPARE(meta->property(meta->propertyOffset() + i).name(), table.at(i).first);
}

void TestTheme::offersNoSignalsSlotsOrInvokables()
{
    Theme::DarkTheme theme;
    const QMetaObject* meta = theme.metaObject();
    QCOMPARE(meta->methodCount(), meta->methodOffset());
}

void TestTheme::usesTheBaseMetaObject()
{
    Theme::DarkTheme theme;
    QCOMPARE(theme.metaObject(), &Theme::ITheme::staticMetaObject);
    QVERIFY(qobject_cast<Theme::ITheme*>(&theme));
}

void TestTheme::transparentColoursHaveZeroAlpha()
{
    Theme::DarkTheme theme;
    QCOMPARE(theme.colorTransparent().alpha(), 0);
    QCOMPARE(theme.colorButtonHidden().alpha(), 0);
    QCOMPARE(theme.colorEmpty(), QColor(Qt::black));
    QCOMPARE(theme.colorEmpty().alpha(), 255);
}

void TestTheme::qmlReadsValuesAndRejectsWrites_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("colour") << "colorText"
                            << "#b7b7b7";
    QTest::newRow("int") << "controlButtonHeight"
                         << "32";
    QTest::newRow("real") << "fontSpacing"
                          << "0.5";
    QTest::newRow("string") << "resourcesPath"
                            << "qrc:/dark/";
    QTest::newRow("misspelt radius") << "switchIndicatorRaduis"
                                     << "6";
}

void TestTheme::qmlReadsValuesAndRejectsWrites()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);

    QQmlEngine engine;
    Theme::DarkTheme theme;
    engine.rootContext()->setContextProperty(QStringLiteral("theme"), &theme);

    QQmlExpression read(engine.rootContext(), nullptr, QStringLiteral("String(theme.%1)").arg(name));
    QCOMPARE(read.evaluate().toString(), expected);
    QVERIFY(!read.hasError());

    QQmlExpression write(engine.rootContext(), nullptr, QStringLiteral("theme.%1 = theme.%1").arg(name));
    write.evaluate();
    QVERIFY(write.hasError());
    QVERIFY2(write.error().description().contains(QLatin1String("read-only")), qPrintable(write.error().description()));
}

void TestTheme::imagesLiveBelowTheResourcesPath()
{
    Theme::DarkTheme theme;
    const QUrl url(theme.resourcesPath() + QLatin1String("images/edit.svg"));
    QCOMPARE(url.scheme(), QStringLiteral("qrc"));
    QCOMPARE(url.path(), QStringLiteral("/dark/images/edit.svg"));
    QVERIFY(QFile::exists(QLatin1Char(':') + url.path()));
}

void TestTheme::fontFamiliesMatchTheEmbeddedFonts()
{
    Theme::DarkTheme theme;
    const QStringList files = Theme::ApplicationFontFiles();
    QCOMPARE(files.size(), 4);
    // Demi-bold, medium and regular of the body family, then the display family. A file may
    // also report its legacy per-weight family name ("Inter Semi Bold"); the theme's must be there.
    const QStringList expectedFamilies = {theme.fontFamily(), theme.fontFamily(), theme.fontFamily(),
                                          theme.fontFamilyCaption()};
    for (int i = 0; i < files.size(); ++i) {
        QVERIFY2(QFile::exists(files.at(i)), qPrintable(files.at(i)));
        const int id = QFontDatabase::addApplicationFont(files.at(i));
        QVERIFY2(id >= 0, qPrintable(files.at(i)));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        QVERIFY2(families.contains(expectedFamilies.at(i)), qPrintable(families.join(u',')));
    }

    const QStringList bodyStyles = QFontDatabase::styles(theme.fontFamily());
    for (const char* style : {"Regular", "Medium", "Semi Bold"})
        QVERIFY2(bodyStyles.contains(QLatin1String(style)), qPrintable(bodyStyles.join(u',')));
}

// The font database reads the embedded fonts where they lie: no copy of a whole file on the heap.
void TestTheme::embeddedFontsAreReadInPlace()
{
    for (const QString& file : Theme::ApplicationFontFiles()) {
        const QResource resource(file);
        QVERIFY2(resource.isValid(), qPrintable(file));
        const QByteArray data = Theme::ApplicationFontData(file);
        QCOMPARE(data.size(), resource.size());
        QVERIFY2(data.constData() == reinterpret_cast<const char*>(resource.data()), qPrintable(file));
    }
    QVERIFY(Theme::ApplicationFontData(QStringLiteral(":/fonts/missing.ttf")).isEmpty());
}

// Captions, menu entries, dial figures and slider ends are drawn in the display face: each of
// their characters must come from it, not from whatever fallback font a machine has.
void TestTheme::captionFaceDrawsEveryCaptionCharacter()
{
    const QString file = Theme::ApplicationFontFiles().constLast();
    QFile font(file);
    QVERIFY(font.open(QIODevice::ReadOnly));
    const QRawFont raw(font.readAll(), 12);
    QVERIFY(raw.isValid());
    QCOMPARE(raw.familyName(), Theme::DarkTheme().fontFamilyCaption());
    const QString characters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 +-/.,:()'&?!");
    for (const QChar character : characters)
        QVERIFY2(raw.supportsCharacter(character), qPrintable(QString(character)));
}

void TestTheme::imagesNamedByTheInterfaceExist_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    const QList<QPair<const char*, QSize>> images = {
        {"images/edit.svg", {20, 20}},
        {"images/arrow-down.svg", {20, 20}},
        {"images/checkbox/on.svg", {20, 20}},
        {"images/checkbox/off.svg", {20, 20}},
        {"images/close_regular.svg", {20, 20}},
        {"images/close_hovered.svg", {20, 20}},
        {"images/info-terms.svg", {20, 20}},
        {"images/logo-terms.svg", {96, 80}},
        {"images/cable.svg", {10, 14}},
        {"images/cable_warn.svg", {10, 14}},
        {"images/other/bell.svg", {}},
        {"images/other/collapse.svg", {20, 20}},
        {"images/other/expand.svg", {20, 20}},
        {"images/dialog/update.svg", {16, 16}},
        {"images/dialog/success.svg", {16, 16}},
        {"images/dialog/warning.svg", {16, 16}},
        {"images/dialog/error.svg", {16, 16}},
        {"images/menu/logo.svg", {32, 24}},
        {"images/menu/logo-wide.svg", {150, 24}},
        {"images/menu/arrow-right.svg", {32, 32}},
        {"images/menu/arrow-left.svg", {32, 32}},
        {"images/menu/sound.svg", {32, 32}},
        {"images/menu/equalizer.svg", {32, 32}},
        {"images/menu/microphone.svg", {32, 32}},
        {"images/menu/head-tracking.svg", {32, 32}},
        {"images/menu/product-settings.svg", {32, 32}},
        {"images/menu/support.svg", {32, 32}},
        {"images/status/headset.svg", {24, 24}},
        {"images/status/dongle.svg", {24, 24}},
        {"images/status/cable.svg", {24, 24}},
        {"images/status/no-connection.svg", {24, 24}},
        {"images/status/no-device.svg", {24, 24}},
        {"images/status/microphone-on.svg", {24, 24}},
        {"images/status/microphone-off.svg", {24, 24}},
        {"images/status/battery/full.svg", {24, 24}},
        {"images/status/battery/middle.svg", {24, 24}},
        {"images/status/battery/low.svg", {24, 24}},
        {"images/status/battery/critical.svg", {24, 24}},
        {"images/status/connection/normal.svg", {12, 12}},
        {"images/status/connection/available.svg", {12, 12}},
        {"images/status/connection/not-connected.svg", {12, 12}},
        {"images/devices/no_device.png", {1840, 1312}},
    };
    for (const auto& [path, size] : images)
        QTest::newRow(path) << QString::fromLatin1(path) << size;
    for (const char* state : {"regular", "hovered", "pressed"}) {
        for (const char* file : {"settings.svg", "bell.svg", "minimize.svg", "zoom.svg", "close.svg"}) {
            const QString path = QStringLiteral("images/titlebar/%1/%2").arg(QLatin1String(state), QLatin1String(file));
            QTest::newRow(qPrintable(path)) << path << QSize(16, 16);
        }
    }
}

void TestTheme::imagesNamedByTheInterfaceExist()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    Theme::DarkTheme theme;
    const QUrl url(theme.resourcesPath() + path);
    QImageReader reader(QLatin1Char(':') + url.path());
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    // Layouts depend on the natural size of these pictures.
    if (size.isValid())
        QCOMPARE(reader.size(), size);
}

void TestTheme::applicationIconExists()
{
    QImageReader reader(QStringLiteral(":/icons/velmor.png"));
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QVERIFY(reader.size().width() >= 64);
    const QImage icon = reader.read();
    QVERIFY(icon.hasAlphaChannel());
}

// The no-device screen centres its two texts over the picture, which covers the area from its
// top-left corner. For windows from the minimum size up to a 16:9 screen the texts' top edge
// falls at picture row 520 or lower (at the default size, row 572); the drawing keeps above
// row 480, so everything from there down is plain black and the texts read clearly.
void TestTheme::noDevicePictureLeavesTheTextsPlainBlack()
{
    const QImage picture =
        QImage(QStringLiteral(":/dark/images/devices/no_device.png")).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.size(), QSize(1840, 1312));
    for (int y = 480; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if (qGray(row[x]) > 8)
                QFAIL(qPrintable(QStringLiteral("drawn at %1, %2").arg(x).arg(y)));
        }
    }
    // The drawing itself is there.
    int drawn = 0;
    for (int y = 0; y < 480; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            drawn += qGray(row[x]) > 128;
    }
    QVERIFY(drawn > 5000);
}

// The pictures decode to the form the window draws (opaque 32-bit): any other form is converted
// when shown, which costs time and keeps a second full-size copy.
void TestTheme::noDevicePicturesDecodeAsDrawn_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("large") << QStringLiteral(":/dark/images/devices/no_device.png");
    QTest::newRow("small copy") << QStringLiteral(":/dark/images/devices/920x656/no_device.png");
}

void TestTheme::noDevicePicturesDecodeAsDrawn()
{
    QFETCH(QString, path);
    QImageReader reader(path);
    QCOMPARE(reader.imageFormat(), QImage::Format_RGB32);
    const QImage picture = reader.read();
    QCOMPARE(picture.format(), QImage::Format_RGB32);
}

void TestTheme::qtDialogColoursAreThemeColours_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("themeColour");
    const QList<QPair<const char*, const char*>> roles = {
        {"Window", "colorPreset"},
        {"Base", "colorPresetActive"},
        {"AlternateBase", "colorMenuItemHovered"},
        {"ToolTipBase", "colorPresetActive"},
        {"Button", "colorButtonPressed"},
        {"ButtonText", "colorTextPreset"},
        {"Light", "colorPreset"},
        {"Midlight", "colorPresetHovered"},
        {"Mid", "colorButtonPressed"},
        {"Dark", "colorHint"},
        {"Shadow", "colorEmpty"},
        {"WindowText", "colorTextPreset"},
        {"Text", "colorTextPreset"},
        {"ToolTipText", "colorTextPreset"},
        {"BrightText", "colorTextHighlighted"},
        {"HighlightedText", "colorEmpty"},
        {"PlaceholderText", "colorHint"},
        {"Highlight", "colorStatusAvailable"},
        {"Link", "colorStatusAvailable"},
        {"LinkVisited", "colorStatusAvailable"},
        {"Disabled/WindowText", "colorTextDisabled"},
        {"Disabled/Text", "colorTextDisabled"},
        {"Disabled/ButtonText", "colorTextDisabled"},
        {"Disabled/Button", "colorButtonDisabled"},
    };
    for (const auto& [key, colour] : roles)
        QTest::newRow(key) << QString::fromLatin1(key) << QByteArray(colour);
}

// The style file that colours Qt's own dialogs names only theme colours, and picks the style
// whose section it fills.
void TestTheme::qtDialogColoursAreThemeColours()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, themeColour);
    QSettings conf(QStringLiteral(":/qtquickcontrols2.conf"), QSettings::IniFormat);
    QCOMPARE(conf.value(QStringLiteral("Controls/Style")).toString(), QStringLiteral("Fusion"));
    const QString value = conf.value(QStringLiteral("Fusion/Palette/") + key).toString();
    Theme::DarkTheme theme;
    QCOMPARE(QColor(value), theme.property(themeColour.constData()).value<QColor>());
}

namespace {

// WCAG relative luminance and contrast ratio.
double Luminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

void TestTheme::qtDialogTextsAreReadable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("background");
    QTest::addColumn<double>("least");
    // Where Qt's own file dialog (Fusion) draws each text.
    QTest::newRow("title and labels") << "WindowText"
                                      << "Window" << 4.5;
    QTest::newRow("file list") << "Text"
                               << "Base" << 4.5;
    QTest::newRow("file list, other rows") << "Text"
                                           << "AlternateBase" << 4.5;
    QTest::newRow("chosen file") << "HighlightedText"
                                 << "Highlight" << 4.5;
    QTest::newRow("buttons") << "ButtonText"
                             << "Button" << 4.5;
    QTest::newRow("path bar folders (flat buttons)") << "ButtonText"
                                                     << "Light" << 4.5;
    QTest::newRow("path bar separators (icons)") << "Dark"
                                                 << "Light" << 3.0;
    QTest::newRow("file name field") << "Text"
                                     << "Base" << 4.5;
    QTest::newRow("placeholder") << "PlaceholderText"
                                 << "Base" << 4.5;
    QTest::newRow("tool tips") << "ToolTipText"
                               << "ToolTipBase" << 4.5;
}

// The texts of Qt's own dialogs can be read: 4.5:1 against what they are drawn on (3:1 for icons).
void TestTheme::qtDialogTextsAreReadable()
{
    QFETCH(QString, text);
    QFETCH(QString, background);
    QFETCH(double, least);
    QSettings conf(QStringLiteral(":/qtquickcontrols2.conf"), QSettings::IniFormat);
    const QColor fg(conf.value(QStringLiteral("Fusion/Palette/") + text).toString());
    const QColor bg(conf.value(QStringLiteral("Fusion/Palette/") + background).toString());
    QVERIFY(fg.isValid() && bg.isValid());
    const double ratio = Contrast(fg, bg);
    QVERIFY2(ratio >= least,
             qPrintable(QStringLiteral("%1 on %2: %3:1").arg(fg.name(), bg.name()).arg(ratio, 0, 'f', 2)));
}

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
