// The device screens loaded headless from the real QML module, against the real headset UI model
// and its mediators over the in-memory test headset. Each screens/tst_*.qml file is a test
// of its own; "App" gives it the theme, the UI model and a way to plug headsets.

#include "FakeAppServices.h"
#include "ui_models/QmlEnumTypes.h"

#include "devices/DeviceProxy.h"
#include "support/devices/TestKestrinDevice.h"
#include "theme/ApplicationFonts.h"
#include "theme/DarkTheme.h"
#include "ui_models/UIKestrinModel.h"
#include "ui_models/UISolvarineModel.h"

#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMutex>
#include <QQmlContext>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariantList>
#include <QVariantMap>
#include <QtQuickTest>

#include <memory>
#include <type_traits>

using TestSupport::TestKestrinDevice;

// What the screens use of the notifications mediator: the unseen count (writable here) and the
// firmware-update notice, whose every call is recorded.
class ScreensNotifications : public QObject {
    Q_OBJECT
    Q_PROPERTY(int newNotificationsCount MEMBER m_count NOTIFY newsCountChanged)
    Q_PROPERTY(QVariantList fwUpdateAvailableCalls MEMBER m_calls NOTIFY fwUpdateAvailableCallsChanged)

public:
    using QObject::QObject;

    Q_INVOKABLE void setFwUpdateAvailable(bool available)
    {
        m_calls.append(available);
        emit fwUpdateAvailableCallsChanged();
    }
    Q_INVOKABLE void clear()
    {
        m_calls.clear();
        m_count = 0;
        emit fwUpdateAvailableCallsChanged();
        emit newsCountChanged();
    }

signals:
    void newsCountChanged();
    void fwUpdateAvailableCallsChanged();

private:
    int m_count = 0;
    QVariantList m_calls;
};

// Qt Quick's own account of every picture it decodes ("qt.quick.image": the file, its size and
// the size it is decoded at), kept from the moment a test asks for it. Decoding runs on Qt
// Quick's loader thread, hence the lock.
namespace ImageDecodes {
QMutex mutex;
QStringList lines;
QtMessageHandler previous = nullptr;

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && qstrcmp(context.category, "qt.quick.image") == 0) {
        QMutexLocker lock(&mutex);
        lines.append(message);
        return;
    }
    if (previous)
        previous(type, context, message);
}

void Start()
{
    QMutexLocker lock(&mutex);
    if (previous)
        return;
    previous = qInstallMessageHandler(Handle);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.quick.image.debug=true"));
}
} // namespace ImageDecodes

// The application object as the screens see it: the real dark theme, a switchable animation
// setting, the current UI model, the notifications stand-in, and a record of every address
// handed to the desktop (nothing is opened).
class ScreensTestApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* theme READ theme CONSTANT)
    Q_PROPERTY(bool animationsEnabled MEMBER m_animationsEnabled NOTIFY animationsEnabledChanged)
    Q_PROPERTY(QStringList openedUrls READ openedUrls NOTIFY openedUrlsChanged)
    Q_PROPERTY(QObject* uiModel READ uiModel NOTIFY uiModelChanged)
    Q_PROPERTY(QObject* notificationsMediator READ notificationsMediator CONSTANT)

public:
    explicit ScreensTestApp(QObject* parent)
        : QObject(parent)
        , m_theme(new Theme::DarkTheme(this))
        , m_notifications(new ScreensNotifications(this))
        , m_kestrinModel(new UIModels::UIKestrinModel(&m_proxy, &m_services, this))
        , m_solvarineModel(new UIModels::UISolvarineModel(m_solvarineProxy, m_services, this))
    {
    }
    ~ScreensTestApp() override
    {
        for (const char* scheme : CapturedSchemes)
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
        // The models stop their device models before the proxies and devices go.
        delete m_kestrinModel;
        delete m_solvarineModel;
    }

    QObject* theme() const { return m_theme; }
    QStringList openedUrls() const { return m_openedUrls; }
    Q_INVOKABLE void clearOpenedUrls()
    {
        m_openedUrls.clear();
        emit openedUrlsChanged();
    }
    void captureOpenedUrls()
    {
        for (const char* scheme : CapturedSchemes)
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "openUrl");
    }

    QObject* uiModel() const { return m_uiModel; }
    QObject* notificationsMediator() const { return m_notifications; }

    // Makes a new headset current and the headset UI model App's model. `category` is the
    // UIModel.Category number (1 simulated, 2 hardware). The headset has its four custom presets,
    // flat; `values` may give its starting battery, micMute, gameChatMix, noiseReduction,
    // sidetone, sidetoneLevel, maxSidetoneLevel, eqIndex, vpLevel, autoPowerOff and ampGain.
    Q_INVOKABLE void plugHeadset(int type, int category, bool dongle = false, bool fwOnly = false,
                                 const QVariantMap& values = {})
    {
        TestKestrinDevice::State start;
        start.bands = TestKestrinDevice::CustomPresets();
        const auto take = [&values](const char* key, auto& field) {
            const auto it = values.find(QLatin1String(key));
            if (it != values.end())
                field = it->value<std::remove_reference_t<decltype(field)>>();
        };
        take("battery", start.batteryLevel);
        take("micMute", start.micMute);
        take("gameChatMix", start.gameChatMix);
        take("noiseReduction", start.noiseReduction);
        take("sidetone", start.sidetone);
        take("sidetoneLevel", start.sidetoneLevel);
        take("maxSidetoneLevel", start.maxSidetoneLevel);
        take("eqIndex", start.eqIndex);
        take("vpLevel", start.vpLevel);
        take("autoPowerOff", start.autoPowerOff);
        take("ampGain", start.ampGain);
        TestKestrinDevice::Options options;
        options.type = static_cast<DeviceType>(type);
        options.category = static_cast<Devices::DeviceCategory>(category);
        options.hwType = dongle ? KestrinHwType::ps_dongle : KestrinHwType::ps_headset;
        options.dongle = dongle;
        options.fwOnly = fwOnly;
        m_headset = std::make_shared<TestKestrinDevice>(options, start);
        m_proxy.setDevice(m_headset);
        setUiModel(m_kestrinModel);
    }
    // The headset refuses every later write (as when its HID writes fail).
    Q_INVOKABLE void setRefuseWrites(bool refuse)
    {
        if (m_headset)
            m_headset->refuseWrites(refuse);
    }
    // A change made on the headset itself, which only polling can find.
    Q_INVOKABLE void changeOnHeadset(int gameChatMix)
    {
        if (m_headset)
            m_headset->onHeadset([gameChatMix](TestKestrinDevice::State& s) { s.gameChatMix = uint8_t(gameChatMix); });
    }
    Q_INVOKABLE int headsetGameChatMix() const { return m_headset ? m_headset->headset().gameChatMix : -1; }
    Q_INVOKABLE int headsetBandGain(int preset, int band) const
    {
        if (!m_headset)
            return -100;
        const auto presets = m_headset->headset().bands;
        const auto it = presets.find(static_cast<uint8_t>(preset));
        if (it == presets.end())
            return -100;
        return band >= 0 && band < int(it->second.size()) ? it->second[size_t(band)].gain : -100;
    }
    Q_INVOKABLE int headsetFactoryResets() const
    {
        return m_headset ? int(m_headset->calls(QStringLiteral("factoryReset")).size()) : -1;
    }
    Q_INVOKABLE void selectSolvarine() { setUiModel(m_solvarineModel); }

    // What the dialogs ask of the application object, recorded as "setSimulationAllowed(true)".
    Q_INVOKABLE void setSimulationAllowed(bool allowed)
    {
        m_calls.append(QStringLiteral("setSimulationAllowed(%1)").arg(allowed ? "true" : "false"));
    }
    Q_INVOKABLE QStringList calls() const { return m_calls; }

    // Files for the EQ page: a file of the test's own folder, written as signed bytes, and its
    // content read back the same way (empty when it cannot be read).
    Q_INVOKABLE QUrl fileUrl(const QString& name) const { return QUrl::fromLocalFile(m_files.filePath(name)); }
    // Starts keeping Qt Quick's line for every picture decoded from now on.
    Q_INVOKABLE void recordImageDecodes() { ImageDecodes::Start(); }
    Q_INVOKABLE QStringList imageDecodes() const
    {
        QMutexLocker lock(&ImageDecodes::mutex);
        return ImageDecodes::lines;
    }
    Q_INVOKABLE QUrl folderUrl() const { return QUrl::fromLocalFile(m_files.path()); }
    Q_INVOKABLE bool writeBytes(const QString& name, const QVariantList& values) const
    {
        QByteArray bytes;
        for (const QVariant& value : values)
            bytes.append(static_cast<char>(static_cast<int8_t>(value.toInt())));
        QFile file(m_files.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    Q_INVOKABLE QVariantList readBytes(const QString& name) const
    {
        QFile file(m_files.filePath(name));
        QVariantList values;
        if (!file.open(QIODevice::ReadOnly))
            return values;
        for (const char byte : file.readAll())
            values.append(int(static_cast<int8_t>(byte)));
        return values;
    }
    Q_INVOKABLE void unplug()
    {
        setUiModel(nullptr);
        m_proxy.resetImpl();
        m_headset.reset();
    }

public slots:
    void openUrl(const QUrl& url)
    {
        m_openedUrls.append(url.toString());
        emit openedUrlsChanged();
    }

signals:
    void animationsEnabledChanged();
    void openedUrlsChanged();
    void uiModelChanged();

private:
    static constexpr const char* CapturedSchemes[] = {"", "http", "https", "mailto", "file"};

    void setUiModel(QObject* model)
    {
        if (m_uiModel == model)
            return;
        m_uiModel = model;
        emit uiModelChanged();
    }

    Theme::ITheme* m_theme;
    bool m_animationsEnabled = true;
    QStringList m_openedUrls;
    QStringList m_calls;
    QTemporaryDir m_files;
    FakeAppServices m_services;
    Devices::DeviceProxy m_proxy;
    Devices::DeviceProxy m_solvarineProxy;
    ScreensNotifications* m_notifications;
    UIModels::UIKestrinModel* m_kestrinModel;
    UIModels::UISolvarineModel* m_solvarineModel;
    QObject* m_uiModel = nullptr;
    std::shared_ptr<TestKestrinDevice> m_headset;
};

class ScreensSetup : public QObject {
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        if (!qEnvironmentVariableIsSet("QT_QUICK_CONTROLS_HOVER_ENABLED"))
            qputenv("QT_QUICK_CONTROLS_HOVER_ENABLED", "1");
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
        QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
        Theme::RegisterApplicationFonts();
        UIModels::RegisterQmlEnumTypes();
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral(":/qml"));
        auto* app = new ScreensTestApp(engine);
        app->captureOpenedUrls();
        engine->rootContext()->setContextProperty(QStringLiteral("App"), app);
    }

    void cleanupTestCase()
    {
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_screens, ScreensSetup)

#include "tst_screens.moc"
