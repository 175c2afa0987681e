#include "app/App.h"

#include "app/core/GlobalLogger.h"
#include "app/core/Preferences.h"
#include "platform/PlatformFactories.h"
#include "theme/ApplicationFonts.h"
#include "theme/DarkTheme.h"

App::App(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_preferences(new Preferences(this))
    , m_extensions(Platform::CreateAppExtensions())
    , m_theme(new Theme::DarkTheme(this))
{
    // Opens the run's log file now, so it begins with the banner whatever happens next.
    GlobalLogger::Instance();

    // A font that does not register leaves its text in a fallback font; nothing more to do.
    Theme::RegisterApplicationFonts();

    connect(m_extensions.get(), &Platform::AppExtensions::sigOpenWindow, this, &App::showAppWindow);
    m_extensions->listen(true);
}

App::~App() = default;

Preferences* App::getPreferences() const
{
    return m_preferences;
}

QObject* App::theme() const
{
    return m_theme;
}

QObject* App::uiModel() const
{
    return m_currentUiModel;
}

bool App::animationsEnabled() const
{
    return m_extensions->areAnimationsEnabled();
}
