#include "TestApp.h"

#include "theme/DarkTheme.h"

#include <QCoreApplication>
#include <QDesktopServices>

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
