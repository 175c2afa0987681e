// The real main window over the real application object: its corners are rounded only while
// something composites the window. Offscreen the platform keeps them rounded; on a virtual X
// server with no compositing manager they are square until a stand-in compositor takes the
// compositor's selection. A fake check switches them by hand on either platform.

#include "app/App.h"
#include "platform/WindowCompositing.h"
#include "support/FakeWindowCompositing.h"
#include "support/MainWindowRun.h"
#include "support/x11/FakeCompositor.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

class TestWindowCorners : public QObject {
    Q_OBJECT

public:
    explicit TestWindowCorners(App& app)
        : m_app(app)
    {
    }

private slots:
    void initTestCase();
    void windowStartsWithThePlatformsCorners();
    void fakeCheckDrivesTheCorners();
    void compositorOnTheXServerRoundsTheCorners();
    void squareCornersShowTheBorderOnTheXServer();
    void cleanupTestCase();

private:
    bool onX() const { return QGuiApplication::platformName() == QLatin1String("xcb"); }
    QQuickItem* item(const char* name) const;
    // The screen on view, once it is one that takes the window's corner radius.
    QQuickItem* screen() const;
    // What the X server shows of the window: its pixels on the screen, not the scene's own.
    QImage onScreen() const;
    void saveShot(const QImage& image, const QString& name) const;
    bool cornersAre(int radius) const;

    App& m_app;
    std::optional<TestSupport::MainWindowRun> m_run;
};

void TestWindowCorners::initTestCase()
{
    m_run.emplace(m_app, TestSupport::MainWindowRun::Building::ApplicationPacer);
    QVERIFY(m_run->window());
    QVERIFY(QTest::qWaitForWindowExposed(m_run->window()));
    QTRY_VERIFY_WITH_TIMEOUT(screen(), 30000);
}

QQuickItem* TestWindowCorners::item(const char* name) const
{
    return m_run->window()->findChild<QQuickItem*>(QLatin1String(name));
}

QQuickItem* TestWindowCorners::screen() const
{
    QQuickItem* loader = item("mainLoader");
    auto* shown = loader ? loader->property("item").value<QQuickItem*>() : nullptr;
    return shown && shown->property("bottomLeftRadius").isValid() ? shown : nullptr;
}

bool TestWindowCorners::cornersAre(int radius) const
{
    QQuickItem* rect = item("mainRect");
    QQuickItem* shown = screen();
    return rect && shown && rect->property("radius").toInt() == radius &&
           shown->property("bottomLeftRadius").toInt() == radius &&
           shown->property("bottomRightRadius").toInt() == radius;
}

QImage TestWindowCorners::onScreen() const
{
    const QRect geometry = m_run->window()->geometry();
    return m_run->window()
        ->screen()
        ->grabWindow(0, geometry.x(), geometry.y(), geometry.width(), geometry.height())
        .toImage();
}

void TestWindowCorners::saveShot(const QImage& image, const QString& name) const
{
    const QString folder = qEnvironmentVariable("VELMOR_SCREENSHOT_DIR");
    if (!folder.isEmpty() && QDir().mkpath(folder))
        image.save(QDir(folder).absoluteFilePath(name + QStringLiteral(".png")));
}

void TestWindowCorners::windowStartsWithThePlatformsCorners()
{
    // The virtual X server runs no compositing manager; the off-screen platform shows
    // transparency in its grabs.
    const bool composited = !onX();
    QCOMPARE(m_app.isWindowComposited(), composited);
    QVERIFY(cornersAre(composited ? 8 : 0));
}

void TestWindowCorners::fakeCheckDrivesTheCorners()
{
    auto owned = std::make_unique<TestSupport::FakeWindowCompositing>();
    TestSupport::FakeWindowCompositing* check = owned.get();
    m_app.setWindowCompositing(std::move(owned));
    QVERIFY(cornersAre(8));

    QSignalSpy changed(&m_app, &App::windowCompositingChanged);
    check->set(false);
    QCOMPARE(changed.count(), 1);
    QVERIFY(!m_app.isWindowComposited());
    QVERIFY(cornersAre(0));
    // The square window keeps its border and its resize areas.
    QCOMPARE(item("mainRect")->property("border").value<QObject*>()->property("width").toInt(), 1);
    // The resize areas' top row is exactly the border.
    QQuickItem* frame = item("frameLayout");
    QVERIFY(frame->isVisible());
    QVERIFY(!frame->childItems().isEmpty());
    QQuickItem* topRow = frame->childItems().first();
    QTRY_COMPARE(topRow->height(), 4.0);

    check->set(true);
    QCOMPARE(changed.count(), 2);
    QVERIFY(cornersAre(8));
    QTRY_COMPARE(topRow->height(), 4.0);
}

void TestWindowCorners::compositorOnTheXServerRoundsTheCorners()
{
    if (!onX())
        QSKIP("needs an X server");
    m_app.setWindowCompositing(Platform::CreateWindowCompositing());
    QVERIFY(cornersAre(0));

    {
        TestSupport::FakeCompositor compositor;
        QVERIFY(compositor.start(QStringLiteral(VELMOR_FAKE_COMPOSITOR)));
        QTRY_VERIFY_WITH_TIMEOUT(cornersAre(8), 10000);
        QVERIFY(compositor.quit());
    }
    QTRY_VERIFY_WITH_TIMEOUT(cornersAre(0), 10000);
}

void TestWindowCorners::squareCornersShowTheBorderOnTheXServer()
{
    if (!onX())
        QSKIP("needs an X server");
    auto owned = std::make_unique<TestSupport::FakeWindowCompositing>();
    TestSupport::FakeWindowCompositing* check = owned.get();
    m_app.setWindowCompositing(std::move(owned));
    const QRgb border = m_app.theme()->property("colorPresetHovered").value<QColor>().rgb();
    const auto corners = [this] {
        const QImage image = onScreen();
        return QList<QRgb>{image.pixel(0, 0), image.pixel(image.width() - 1, 0), image.pixel(0, image.height() - 1),
                           image.pixel(image.width() - 1, image.height() - 1)};
    };

    // Rounded with nothing to composite: what lies outside the rounding is not the desktop but
    // the window's own transparent pixels, drawn black.
    QTRY_VERIFY_WITH_TIMEOUT(!corners().contains(border), 10000);
    saveShot(onScreen(), QStringLiteral("rounded-without-compositor"));

    check->set(false);
    QTRY_COMPARE_WITH_TIMEOUT(corners(), QList<QRgb>(4, border), 10000);
    saveShot(onScreen(), QStringLiteral("square-without-compositor"));
}

void TestWindowCorners::cleanupTestCase()
{
    m_run.reset();
}

int main(int argc, char** argv)
{
    // A first start: the legal-terms screen, which takes the window's bottom corners as any
    // device screen does.
    return TestSupport::RunWithApp<TestWindowCorners>(argc, argv);
}

#include "tst_window_corners_e2e.moc"
