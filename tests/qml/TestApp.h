#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

namespace Theme {
class ITheme;
}

// Stands in for the application object as the QML context property "App" in the QML tests and
// the gallery: the real dark theme, an animation switch that tests may flip, and a record of
// every URL that QML asked the desktop to open (nothing is really opened).
//
// Screens and dialogs reach the native side through App.uiModel, App.appMediator and
// App.notificationsMediator; a test sets its own stand-ins there (null by default). App's own
// invokables (setSimulationAllowed, selectDevice, openPermissions, exit) do nothing but append
// a line to App.calls, as "setSimulationAllowed(true)" or "exit(0)"; stand-ins may append their
// calls to the same list through App.record(), so a test sees every call in its order.
class TestApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* theme READ theme CONSTANT)
    Q_PROPERTY(bool animationsEnabled READ animationsEnabled WRITE setAnimationsEnabled NOTIFY animationsEnabledChanged)
    Q_PROPERTY(QString applicationName READ applicationName CONSTANT)
    Q_PROPERTY(QString applicationVersion READ applicationVersion CONSTANT)
    Q_PROPERTY(QStringList openedUrls READ openedUrls NOTIFY openedUrlsChanged)
    Q_PROPERTY(QObject* uiModel READ uiModel WRITE setUiModel NOTIFY uiModelChanged)
    Q_PROPERTY(bool deviceSearchDone MEMBER m_deviceSearchDone NOTIFY deviceSearchDoneChanged)
    Q_PROPERTY(QObject* appMediator READ appMediator WRITE setAppMediator NOTIFY appMediatorChanged)
    Q_PROPERTY(QObject* notificationsMediator READ notificationsMediator WRITE setNotificationsMediator NOTIFY
                   notificationsMediatorChanged)
    Q_PROPERTY(QStringList calls READ calls NOTIFY callsChanged)
    Q_PROPERTY(bool firstFrameShown MEMBER m_firstFrameShown NOTIFY firstFrameShownChanged)
    Q_PROPERTY(bool windowCompositing MEMBER m_windowCompositing NOTIFY windowCompositingChanged)

public:
    explicit TestApp(QObject* parent = nullptr);
    ~TestApp() override;

    QObject* theme() const;

    bool animationsEnabled() const { return m_animationsEnabled; }
    void setAnimationsEnabled(bool enabled);

    QString applicationName() const;
    QString applicationVersion() const;

    QStringList openedUrls() const { return m_openedUrls; }
    Q_INVOKABLE void clearOpenedUrls();

    // The stand-ins a test sets; each reads null again once its object is destroyed.
    QObject* uiModel() const { return m_uiModel; }
    void setUiModel(QObject* model);
    QObject* appMediator() const { return m_appMediator; }
    void setAppMediator(QObject* mediator);
    QObject* notificationsMediator() const { return m_notificationsMediator; }
    void setNotificationsMediator(QObject* mediator);

    QStringList calls() const { return m_calls; }
    Q_INVOKABLE void record(const QString& call);
    Q_INVOKABLE void clearCalls();

    // App's invokables: recorded, nothing else.
    Q_INVOKABLE void setSimulationAllowed(bool allowed);
    Q_INVOKABLE void selectDevice(int type);
    Q_INVOKABLE void openPermissions();
    Q_INVOKABLE void exit(int returnCode);
    // As App's: firstFrameShown turns true once `window` has swapped a frame; never reset, so a
    // later window of the same test finds it true at once.
    Q_INVOKABLE void watchFirstFrame(QObject* window);
    // App's tells its building pace; here nothing is paced, so it does nothing (and is not
    // recorded: the window calls it on its own, not on a user's action).
    Q_INVOKABLE void windowContentShown() { }

    // Routes QDesktopServices::openUrl (and so Qt.openUrlExternally) to this object for the
    // usual schemes, the empty one included, until the object is destroyed.
    void captureOpenedUrls();

public slots:
    // Receiver of QDesktopServices' URL handler.
    void openUrl(const QUrl& url);

signals:
    void animationsEnabledChanged();
    void openedUrlsChanged();
    void uiModelChanged();
    void deviceSearchDoneChanged();
    void appMediatorChanged();
    void notificationsMediatorChanged();
    void callsChanged();
    void firstFrameShownChanged();
    void windowCompositingChanged();
    // App's window requests; a test emits them.
    void showAppWindow();
    void quitApp();
    void requestInputMonitoring();

private:
    Theme::ITheme* m_theme = nullptr;
    bool m_animationsEnabled = true;
    bool m_capturing = false;
    QStringList m_openedUrls;
    QPointer<QObject> m_uiModel;
    bool m_deviceSearchDone = true;
    QPointer<QObject> m_appMediator;
    QPointer<QObject> m_notificationsMediator;
    QStringList m_calls;
    bool m_firstFrameShown = false;
    bool m_windowCompositing = true;
};
