#include "TestApp.h"

#include "theme/DarkTheme.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QQuickWindow>

namespace {

const char* const CapturedSchemes[] = {"", "http", "https", "mailto", "file", "qrc", "ftp"};

} // namespace

TestApp::TestApp(QObject* parent)
    : QObject(parent)
    , m_theme(new Theme::DarkTheme(this))
{
}

TestApp::~TestApp()
{
    if (m_capturing) {
        for (const char* scheme : CapturedSchemes)
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
}

QObject* TestApp::theme() const
{
    return m_theme;
}

void TestApp::setAnimationsEnabled(bool enabled)
{
    if (m_animationsEnabled == enabled)
        return;
    m_animationsEnabled = enabled;
    emit animationsEnabledChanged();
}

QString TestApp::applicationName() const
{
    return QCoreApplication::applicationName();
}

QString TestApp::applicationVersion() const
{
    return QCoreApplication::applicationVersion();
}

void TestApp::clearOpenedUrls()
{
    if (m_openedUrls.isEmpty())
        return;
    m_openedUrls.clear();
    emit openedUrlsChanged();
}

namespace {

// Stores `object` and announces it; announces again when the object goes away, as the pointer
// then reads null.
void Replace(QPointer<QObject>& slot, QObject* object, TestApp* app, void (TestApp::*changed)())
{
    if (slot == object)
        return;
    if (slot)
        QObject::disconnect(slot, &QObject::destroyed, app, nullptr);
    slot = object;
    if (object)
        QObject::connect(object, &QObject::destroyed, app, changed);
    emit(app->*changed)();
}

} // namespace

void TestApp::setUiModel(QObject* model)
{
    Replace(m_uiModel, model, this, &TestApp::uiModelChanged);
}

void TestApp::setAppMediator(QObject* mediator)
{
    Replace(m_appMediator, mediator, this, &TestApp::appMediatorChanged);
}

void TestApp::setNotificationsMediator(QObject* mediator)
{
    Replace(m_notificationsMediator, mediator, this, &TestApp::notificationsMediatorChanged);
}

void TestApp::record(const QString& call)
{
    m_calls.append(call);
    emit callsChanged();
}

void TestApp::clearCalls()
{
    if (m_calls.isEmpty())
        return;
    m_calls.clear();
    emit callsChanged();
}

void TestApp::setSimulationAllowed(bool allowed)
{
    record(QStringLiteral("setSimulationAllowed(%1)").arg(allowed ? QStringLiteral("true") : QStringLiteral("false")));
}

void TestApp::selectDevice(int type)
{
    record(QStringLiteral("selectDevice(%1)").arg(type));
}

void TestApp::openPermissions()
{
    record(QStringLiteral("openPermissions()"));
}

void TestApp::watchFirstFrame(QObject* window)
{
    auto* quickWindow = qobject_cast<QQuickWindow*>(window);
    if (!quickWindow || m_firstFrameShown)
        return;
    connect(
        quickWindow, &QQuickWindow::frameSwapped, this,
        [this] {
            if (m_firstFrameShown)
                return;
            m_firstFrameShown = true;
            emit firstFrameShownChanged();
        },
        Qt::QueuedConnection);
}

void TestApp::exit(int returnCode)
{
    record(QStringLiteral("exit(%1)").arg(returnCode));
}

void TestApp::captureOpenedUrls()
{
    for (const char* scheme : CapturedSchemes)
        QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "openUrl");
    m_capturing = true;
}

void TestApp::openUrl(const QUrl& url)
{
    m_openedUrls.append(url.toString());
    emit openedUrlsChanged();
}
