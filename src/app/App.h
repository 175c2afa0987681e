#pragma once

#include <QApplication>

#include <memory>

class Preferences;

namespace Platform {
class AppExtensions;
}
namespace Theme {
class ITheme;
}

// The application object and the QML context object "App": it owns the long-lived objects of the
// run and carries what the window reads and the requests it answers.
//
// A QApplication (not only a QGuiApplication): the tray icon of Qt.labs.platform needs Qt Widgets
// on Linux. Its name and version reach QML as App.applicationName and App.applicationVersion.
class App : public QApplication {
    Q_OBJECT
    Q_PROPERTY(QObject* theme READ theme NOTIFY themeChanged)
    Q_PROPERTY(QObject* uiModel READ uiModel NOTIFY uiModelChanged)
    Q_PROPERTY(bool animationsEnabled READ animationsEnabled CONSTANT)

public:
    // `argc` must outlive the object, as for every QApplication.
    App(int& argc, char** argv);
    ~App() override;

    // The user's settings ("settings.ini").
    Preferences* getPreferences() const;

    // The theme every screen draws with.
    QObject* theme() const;
    // The UI model of the current device; null until one is chosen.
    QObject* uiModel() const;
    bool animationsEnabled() const;

signals:
    // Another start of the program asked this one to show its window.
    void showAppWindow();
    // For the window: end the application, and ask the user for input monitoring; and a change
    // of theme. Nothing on this platform emits them.
    void quitApp();
    void requestInputMonitoring();
    void themeChanged();
    void uiModelChanged();

private:
    Preferences* m_preferences; // child
    std::unique_ptr<Platform::AppExtensions> m_extensions;
    Theme::ITheme* m_theme; // child
    QObject* m_currentUiModel = nullptr; // not owned
};
