#include "app/App.h"

#include "app/core/GlobalLogger.h"
#include "platform/PlatformFactories.h"

App::App(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_extensions(Platform::CreateAppExtensions())
{
    // Opens the run's log file now, so it begins with the banner whatever happens next.
    GlobalLogger::Instance();

    connect(m_extensions.get(), &Platform::AppExtensions::sigOpenWindow, this, &App::showAppWindow);
    m_extensions->listen(true);
}

App::~App() = default;

QObject* App::uiModel() const
{
    return m_currentUiModel;
}

bool App::animationsEnabled() const
{
    return m_extensions->areAnimationsEnabled();
}
