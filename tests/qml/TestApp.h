#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

namespace Theme {
class ITheme;
}

// Stands in for the application object as the QML context property "App" in the QML tests and
// the gallery: the real dark theme, an animation switch that tests may flip, and a record of
// every URL that QML asked the desktop to open (nothing is really opened).
class TestApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject* theme READ theme CONSTANT)
    Q_PROPERTY(bool animationsEnabled READ animationsEnabled WRITE setAnimationsEnabled NOTIFY animationsEnabledChanged)
    Q_PROPERTY(QString applicationName READ applicationName CONSTANT)
    Q_PROPERTY(QString applicationVersion READ applicationVersion CONSTANT)
    Q_PROPERTY(QStringList openedUrls READ openedUrls NOTIFY openedUrlsChanged)

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

    // Routes QDesktopServices::openUrl (and so Qt.openUrlExternally) to this object for the
    // usual schemes, the empty one included, until the object is destroyed.
    void captureOpenedUrls();

public slots:
    // Receiver of QDesktopServices' URL handler.
    void openUrl(const QUrl& url);

signals:
    void animationsEnabledChanged();
    void openedUrlsChanged();

private:
    Theme::ITheme* m_theme = nullptr;
    bool m_animationsEnabled = true;
    bool m_capturing = false;
    QStringList m_openedUrls;
};
