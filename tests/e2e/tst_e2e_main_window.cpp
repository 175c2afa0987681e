// The user's path through the real main window: the application object with its real hardware bus
// and HID client over the emulated headset, the real Main.qml, the window at its default size,
// driven only by mouse clicks at the visible centre of items. Each click must do its job: the
// headset receives the write, the drawer opens, the page changes.

#include "HeadsetPlugging.h"

#include "app/App.h"
#include "support/MainWindowRun.h"
#include "support/UrlCatcher.h"
#include "ui_models/IUIModel.h"
#include "ui_models/UIKestrinModel.h"

#include <QDesktopServices>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

using namespace HidEmu;
using TestSupport::FindVisual;
using TestSupport::IsA;
using TestSupport::MainWindowRun;
using TestSupport::StillLoading;

namespace {

// Polls run every second; generous for a slow, sanitised CI machine.
constexpr int WaitMs = 20000;

// The title-bar buttons' values (ZelTitleBar.TitleBarButton).
constexpr int CloseButton = 1;
constexpr int MinimizeButton = 2;
constexpr int MaximizeButton = 4;
constexpr int SettingsButton = 8;
constexpr int NotificationsButton = 16;

} // namespace

class TestE2eMainWindow : public QObject {
    Q_OBJECT

public:
    explicit TestE2eMainWindow(App& app)
        : m_app(app)
    {
    }

private slots:
    void initTestCase();
    void legalTermsCheckBoxAnswersClicks();
    void legalTermsAreAcceptedByKeyboard();
    void pluggedHeadsetShowsItsScreen();
    void sideMenuEntriesChangePages();
    void soundPageControlsWriteToTheHeadset();
    void equalizerPresetIsWritten();
    void factoryResetThroughItsDialog();
    void drawerButtonsOpenTheirDrawers_data();
    void drawerButtonsOpenTheirDrawers();
    void onlyTheBorderStartsAResize_data();
    void onlyTheBorderStartsAResize();
    void maximizeAndMinimizeButtons();
    void titleBarDoubleClickAndDrag();
    void dongleWhoseHeadsetAnswersOpensAFreshScreen();
    void closeButtonEndsTheProgram();
    void cleanupTestCase();

private:
    QQuickWindow* window() const;
    QQuickItem* find(const char* name, QObject* in = nullptr) const;
    QObject* loaded(const char* loaderName) const;
    QQuickItem* titleButton(int id) const;
    // A left click at the centre of the item's visible part, as the user makes it.
    void click(QQuickItem* item, QPointF at = QPointF(-1, -1)) const;
    QQuickItem* page(const char* name) const;
    // With VELMOR_SCREENSHOT_DIR set (a run on a real X server, for a person to look at): a
    // picture of the whole screen, window manager included, once the window has drawn.
    void screenshot(const QString& name) const;

    App& m_app;
    // The web pages the window opens.
    TestSupport::UrlCatcher m_browser;
    std::unique_ptr<MainWindowRun> m_run;
    std::shared_ptr<Headset> m_headset;
    Kestrin::State* m_state = nullptr;
};

QQuickWindow* TestE2eMainWindow::window() const
{
    return m_run->window();
}

QQuickItem* TestE2eMainWindow::find(const char* name, QObject* in) const
{
    QQuickItem* from = in ? qobject_cast<QQuickItem*>(in) : window()->contentItem();
    if (!from && in)
        from = in->property("contentItem").value<QQuickItem*>();
    return FindVisual(from, QLatin1String(name));
}

QObject* TestE2eMainWindow::loaded(const char* loaderName) const
{
    QObject* loader = window()->findChild<QObject*>(QLatin1String(loaderName));
    return loader ? loader->property("item").value<QObject*>() : nullptr;
}

QQuickItem* TestE2eMainWindow::titleButton(int id) const
{
    return find(QByteArray("button" + QByteArray::number(id)).constData(), loaded("titleBarLoader"));
}

void TestE2eMainWindow::click(QQuickItem* item, QPointF at) const
{
    QVERIFY(item);
    // As the user does: the window shows its content (and takes input) once it is whole.
    QTRY_VERIFY2_WITH_TIMEOUT(
        item->isVisible() && item->isEnabled(),
        qPrintable(item->objectName() + QStringLiteral(" is not usable; the window's content is ") +
                   (find("mainLayout")->isEnabled() ? "shown" : "not shown yet") + QStringLiteral("; still loading: ") +
                   StillLoading(window()->contentItem()).join(QStringLiteral(", "))),
        WaitMs);
    const bool centre = at.x() < 0;
    const auto scenePoint = [&] {
        return item->mapToScene(centre ? QPointF(item->width() / 2, item->height() / 2) : at).toPoint();
    };
    // After a change of the window's size the layouts settle before the user can aim.
    QTRY_VERIFY2(QRect(QPoint(0, 0), window()->size()).contains(scenePoint()), item->objectName().toUtf8());
    const QPoint scene = scenePoint();
    // What lies under the pointer takes the click: the item itself or one of its own children.
    QQuickItem* under = window()->contentItem()->childAt(scene.x(), scene.y());
    QVERIFY(under);
    QTest::mouseClick(window(), Qt::LeftButton, {}, scene);
}

QQuickItem* TestE2eMainWindow::page(const char* name) const
{
    return find(name, loaded("mainLoader"));
}

void TestE2eMainWindow::screenshot(const QString& name) const
{
    const QString folder = qEnvironmentVariable("VELMOR_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    // Animations (drawer slides) end within half a second; then a fresh frame is on screen.
    QTest::qWait(600);
    QSignalSpy swapped(window(), &QQuickWindow::frameSwapped);
    window()->update();
    QVERIFY(swapped.wait(5000));
    const int result =
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                     QDir(folder).filePath(name + QStringLiteral(".png"))});
    QCOMPARE(result, 0);
}

void TestE2eMainWindow::initTestCase()
{
    Bus::instance().reset();
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "open");
    // As the start-up does: the screens are built a slice per turn once the first frame is drawn.
    m_run = std::make_unique<MainWindowRun>(m_app, MainWindowRun::Building::ApplicationPacer);
    QVERIFY(window());
    QVERIFY(QTest::qWaitForWindowExposed(window()));
    // Windowed, at its default size, which is also its minimum.
    QCOMPARE(window()->visibility(), QWindow::Windowed);
    QCOMPARE(window()->size(), QSize(1200, 688));
    QCOMPARE(window()->minimumSize(), QSize(1200, 688));
    // The title bar is built once the window has drawn its first frame.
    QTRY_VERIFY_WITH_TIMEOUT(loaded("titleBarLoader"), WaitMs);
    QVERIFY2(m_run->warnings().isEmpty(), qPrintable(m_run->warnings().join(QLatin1Char('\n'))));
}

void TestE2eMainWindow::legalTermsCheckBoxAnswersClicks()
{
    // The screen is built a piece per frame after the window is up.
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetLegalTerms"), WaitMs);
    QQuickItem* agree = page("agreeCheckBox");
    QQuickItem* continueButton = page("continueButton");
    QVERIFY(!continueButton->isEnabled());
    screenshot(QStringLiteral("01-legal-terms"));
    click(agree);
    QTRY_VERIFY(agree->property("checked").toBool());
    QVERIFY(continueButton->isEnabled());
    click(agree);
    QTRY_VERIFY(!agree->property("checked").toBool());
    QVERIFY(!continueButton->isEnabled());
    // A click leaves no keyboard focus ring behind.
    QVERIFY(!find("focusRing", agree)->isVisible());
}

void TestE2eMainWindow::legalTermsAreAcceptedByKeyboard()
{
    QObject* appMediator = m_app.getAppMediator();
    QQuickItem* agree = page("agreeCheckBox");
    QQuickItem* continueButton = page("continueButton");
    // The keyboard is on "I agree" (from the start, or after the clicks on it).
    QTRY_COMPARE(window()->activeFocusItem(), agree);
    QTest::keyClick(window(), Qt::Key_Space);
    QTRY_VERIFY(agree->property("checked").toBool());
    // Through both links to "Continue", which then shows its focus ring. Return on a link opens
    // its page and is no consent, though "Continue" is the screen's default button.
    for (const char* name : {"termsLink", "privacyLink", "continueButton"}) {
        QTest::keyClick(window(), Qt::Key_Tab);
        QTRY_COMPARE(window()->activeFocusItem(), page(name));
    }
    QTest::keyClick(window(), Qt::Key_Backtab);
    QTRY_COMPARE(window()->activeFocusItem(), page("privacyLink"));
    m_browser.urls.clear();
    QTest::keyClick(window(), Qt::Key_Return);
    QTRY_COMPARE(m_browser.urls.size(), 1);
    QVERIFY(m_browser.urls.constFirst().path().endsWith(QLatin1String("/policies/privacy-policy")));
    QVERIFY(!appMediator->property("eulaAccepted").toBool());
    QVERIFY(IsA(loaded("mainLoader"), "WidgetLegalTerms"));
    QTest::keyClick(window(), Qt::Key_Tab);
    QTRY_COMPARE(window()->activeFocusItem(), continueButton);
    QVERIFY(find("focusRing", continueButton)->isVisible());
    screenshot(QStringLiteral("01-legal-terms-keyboard"));
    QTest::keyClick(window(), Qt::Key_Return);
    QTRY_VERIFY(appMediator->property("eulaAccepted").toBool());
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetNoDevice"), WaitMs);
    QVERIFY(titleButton(SettingsButton)->isVisible());
    screenshot(QStringLiteral("02-no-device"));
}

void TestE2eMainWindow::pluggedHeadsetShowsItsScreen()
{
    // The headset screen is built while the headset is being set up: as soon as the set-up is
    // announced, before the headset's model is current, a place not on view takes that screen,
    // and that is the screen shown once the headset is ready.
    QObject* mainLoader = window()->findChild<QObject*>(QStringLiteral("mainLoader"));
    QVERIFY(mainLoader);
    const auto shownPlace = [mainLoader] { return mainLoader->property("shown").value<QObject*>(); };
    QPointer<QObject> preparedIn;
    const auto connection = connect(&m_app, &App::settingUpModelTypeChanged, this, [&] {
        if (m_app.settingUpModelType() != UIModels::IUIModel::Kestrin ||
            m_app.uiModel() == static_cast<QObject*>(m_app.kestrinModel()))
            return;
        for (QObject* place : mainLoader->children()) {
            const auto* screen = place->property("sourceComponent").value<QQmlComponent*>();
            if (screen && screen->url().fileName() == QLatin1String("WidgetKesMain.qml") && place != shownPlace())
                preparedIn = place;
        }
    });
    m_headset = PlugKestrin(0x4B2E, &m_state);
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetKesMain"), WaitMs);
    disconnect(connection);
    QVERIFY(preparedIn);
    QCOMPARE(shownPlace(), preparedIn.data());
    QCOMPARE(m_app.settingUpModelType(), int(UIModels::IUIModel::Unknown));
    QTRY_VERIFY_WITH_TIMEOUT(page("sidetoneSwitch") && page("sidetoneSwitch")->isEnabled(), WaitMs);
    QCOMPARE(page("pages")->property("currentIndex").toInt(), 0);
}

void TestE2eMainWindow::sideMenuEntriesChangePages()
{
    QQuickItem* pages = page("pages");
    // Every entry the headset offers, then back to Sound; head tracking has no entry.
    QList<int> shown;
    for (int entry : {1, 2, 3, 4, 0}) {
        QQuickItem* item = page(QByteArray("menuItem" + QByteArray::number(entry)).constData());
        QVERIFY(item);
        if (!item->isVisible())
            continue;
        shown << entry;
        click(item);
        QTRY_COMPARE(pages->property("currentIndex").toInt(), entry);
        screenshot(QStringLiteral("03-headset-page-%1").arg(entry));
    }
    QVERIFY2(shown.contains(1) && shown.contains(4) && shown.contains(0) && !shown.contains(3),
             QByteArray::number(shown.size()));
}

void TestE2eMainWindow::soundPageControlsWriteToTheHeadset()
{
    QTRY_COMPARE(page("pages")->property("currentIndex").toInt(), 0);
    QVERIFY(!m_state->sidetoneOn);
    m_headset->clearLog();
    click(page("sidetoneSwitch"));
    QTRY_VERIFY_WITH_TIMEOUT(m_state->sidetoneOn, WaitMs);

    // The slider goes to where it is clicked: its middle.
    const int level = m_state->sidetoneLevel;
    QQuickItem* slider = page("sidetoneSlider");
    QTRY_VERIFY(slider->isEnabled());
    click(slider);
    QTRY_VERIFY_WITH_TIMEOUT(m_state->sidetoneLevel != level, WaitMs);

    // The dial turns to where it is clicked on its ring: its left side is towards the game end.
    const int mix = m_state->gameChatMix;
    QQuickItem* dial = page("gameChatDial");
    click(dial, QPointF(dial->width() * 0.15, dial->height() / 2));
    QTRY_VERIFY_WITH_TIMEOUT(m_state->gameChatMix != mix, WaitMs);
    QVERIFY(!m_headset->requests().empty());
    QVERIFY(m_headset->violations().empty());
}

void TestE2eMainWindow::equalizerPresetIsWritten()
{
    click(page("menuItem1"));
    QTRY_COMPARE(page("pages")->property("currentIndex").toInt(), 1);
    QCOMPARE(int(m_state->eqIndex), 1);
    QQuickItem* preset = page("preset3");
    click(preset);
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 3, WaitMs);
    QVERIFY(m_headset->violations().empty());
}

void TestE2eMainWindow::factoryResetThroughItsDialog()
{
    click(page("menuItem4"));
    QTRY_COMPARE(page("pages")->property("currentIndex").toInt(), 4);

    // A voice-prompt level of the user's own, set where the slider is clicked.
    const uint8_t factoryVpLevel = m_state->vpLevel;
    QQuickItem* vpSlider = page("vpSlider");
    const double shownAtFactory = vpSlider->property("value").toDouble();
    click(vpSlider);
    QTRY_VERIFY_WITH_TIMEOUT(m_state->vpLevel != factoryVpLevel, WaitMs);
    QVERIFY(vpSlider->property("value").toDouble() != shownAtFactory);

    // Reset, then the dialog's own confirm button.
    // The Equalizer page has items of the same names: look inside the Settings page only.
    QQuickItem* settingsPage = page("deviceSettings");
    while (settingsPage && !IsA(settingsPage, "WidgetKesTabProductSettings"))
        settingsPage = settingsPage->parentItem();
    QVERIFY(settingsPage);
    click(find("resetButton", settingsPage));
    QObject* dialog = find("popupLoader", settingsPage)->property("item").value<QObject*>();
    QVERIFY(IsA(dialog, "DlgFactoryReset"));
    QTRY_VERIFY(dialog->property("opened").toBool());
    QCOMPARE(m_state->factoryResets, 0);
    click(find("confirmButton", dialog));
    QTRY_COMPARE_WITH_TIMEOUT(m_state->factoryResets, 1, WaitMs);
    QCOMPARE(m_state->vpLevel, factoryVpLevel);
    // The page shows the headset's values again.
    QTRY_COMPARE_WITH_TIMEOUT(vpSlider->property("value").toDouble(), shownAtFactory, WaitMs);
    // The dialog holds the screen for its countdown, then closes by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->property("visible").toBool(), 30000);
    QVERIFY(m_headset->violations().empty());
}

void TestE2eMainWindow::drawerButtonsOpenTheirDrawers_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("drawer");
    QTest::newRow("settings") << SettingsButton << QStringLiteral("PopupAppSettings");
    QTest::newRow("notifications") << NotificationsButton << QStringLiteral("PopupNotifications");
}

void TestE2eMainWindow::drawerButtonsOpenTheirDrawers()
{
    QFETCH(int, button);
    QFETCH(QString, drawer);
    click(titleButton(button));
    QObject* opened = loaded("popupLoader");
    QVERIFY(IsA(opened, drawer.toUtf8().constData()));
    QTRY_VERIFY(opened->property("opened").toBool());
    screenshot(QStringLiteral("04-drawer-") + QString::fromLatin1(QTest::currentDataTag()));
    // While it is open, the drawer buttons do not react; its own close button closes it.
    QVERIFY(!titleButton(button)->isEnabled());
    click(find("closeBtn", opened));
    QTRY_VERIFY(!opened->property("visible").toBool());
    QTRY_VERIFY(titleButton(button)->isEnabled());
}

void TestE2eMainWindow::onlyTheBorderStartsAResize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<bool>("resizes");
    for (const QSize size : {QSize(1200, 688), QSize(1400, 820)}) {
        const QByteArray tag = QByteArray::number(size.width()) + "x" + QByteArray::number(size.height());
        const int w = size.width();
        const int h = size.height();
        QTest::newRow(tag + " top edge") << size << QPoint(w / 3, 1) << true;
        QTest::newRow(tag + " top edge, inner pixel") << size << QPoint(w / 3, 3) << true;
        QTest::newRow(tag + " top-left corner") << size << QPoint(1, 1) << true;
        QTest::newRow(tag + " top-right corner") << size << QPoint(w - 2, 2) << true;
        QTest::newRow(tag + " title bar below the edge") << size << QPoint(w / 3, 5) << false;
        QTest::newRow(tag + " left edge") << size << QPoint(2, h / 2) << true;
        QTest::newRow(tag + " right edge") << size << QPoint(w - 2, h / 2) << true;
        QTest::newRow(tag + " bottom edge") << size << QPoint(w / 2, h - 1) << true;
        QTest::newRow(tag + " bottom-left corner") << size << QPoint(1, h - 2) << true;
        QTest::newRow(tag + " bottom-right corner") << size << QPoint(w - 1, h - 1) << true;
        QTest::newRow(tag + " inside the left edge") << size << QPoint(5, h / 2) << false;
        QTest::newRow(tag + " above the bottom edge") << size << QPoint(w / 2, h - 6) << false;
        QTest::newRow(tag + " middle") << size << QPoint(w / 2, h / 2) << false;
    }
}

void TestE2eMainWindow::onlyTheBorderStartsAResize()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, press);
    QFETCH(bool, resizes);
    QQuickWindow* root = window();
    // Away from the screen's edges, so that the pointer can go beyond the window's.
    const QPoint home(60, 60);
    root->setPosition(home);
    root->resize(size);
    QTRY_COMPARE(root->geometry(), QRect(home, size));
    QTRY_COMPARE(root->contentItem()->size().toSize(), size);
    QTRY_COMPARE(find("frameLayout")->height(), qreal(size.height()));

    // Outward from the nearest edges, so that a resize grows the window.
    const int step = 30;
    const QPoint out((press.x() < size.width() / 2 ? -1 : 1) * step, (press.y() < size.height() / 2 ? -1 : 1) * step);
    const QRect start = root->geometry();
    // On an X server the pointer itself drags, as a person's would: its events come relative to
    // where the window was when the server sent them, also while the window moves under it.
    const bool realPointer = QGuiApplication::platformName() == QLatin1String("xcb") &&
                             !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
    if (realPointer) {
        const QPoint from = root->mapToGlobal(press);
        const auto at = [](QPoint p) {
            return QStringList{QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
        };
        QStringList drag = at(from);
        drag << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mousedown") << QStringLiteral("1");
        for (int i = 1; i <= 6; ++i)
            drag << at(from + out * i / 6);
        drag << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup") << QStringLiteral("1");
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), drag), 0);
    } else {
        QTest::mousePress(root, Qt::LeftButton, {}, press);
        QTest::mouseMove(root, press + out / 3);
        QTest::mouseMove(root, press + out - (root->position() - start.topLeft()));
        QTest::mouseRelease(root, Qt::LeftButton, {}, press + out - (root->position() - start.topLeft()));
    }
    if (QTest::currentDataTag() == QByteArray("1200x688 top-left corner"))
        screenshot(QStringLiteral("05-resized-top-left"));
    if (resizes) {
        // The dragged edges follow the pointer the whole way; the opposite ones stay.
        const int w = std::abs(out.x()) * ((press.x() < 4 || press.x() >= size.width() - 4) ? 1 : 0);
        const int h = std::abs(out.y()) * ((press.y() < 4 || press.y() >= size.height() - 4) ? 1 : 0);
        const QRect expected(start.x() - (out.x() < 0 ? w : 0), start.y() - (out.y() < 0 ? h : 0), start.width() + w,
                             start.height() + h);
        QTRY_COMPARE_WITH_TIMEOUT(root->geometry(), expected, 5000);
    } else {
        QCOMPARE(root->size(), size);
    }
    root->resize(size);
    root->setPosition(start.topLeft());
    QTRY_COMPARE(root->geometry(), QRect(start.topLeft(), size));
}

void TestE2eMainWindow::maximizeAndMinimizeButtons()
{
    QQuickWindow* root = window();
    root->resize(1200, 688);
    QTRY_COMPARE(root->contentItem()->size().toSize(), QSize(1200, 688));
    click(titleButton(MaximizeButton));
    QTRY_COMPARE(root->visibility(), QWindow::Maximized);
    QTRY_VERIFY(!find("frameLayout")->isVisible());
    click(titleButton(MaximizeButton));
    QTRY_COMPARE(root->visibility(), QWindow::Windowed);
    QTRY_VERIFY(find("frameLayout")->isVisible());

    click(titleButton(MinimizeButton));
    QTRY_COMPARE(root->visibility(), QWindow::Minimized);
    root->showNormal();
    QTRY_COMPARE(root->visibility(), QWindow::Windowed);
}

void TestE2eMainWindow::titleBarDoubleClickAndDrag()
{
    QQuickWindow* root = window();
    root->resize(1200, 688);
    QTRY_COMPARE(root->contentItem()->size().toSize(), QSize(1200, 688));
    QQuickItem* dragArea = find("dragArea", loaded("titleBarLoader"));
    QVERIFY(dragArea);
    const QPoint centre = dragArea->mapToScene(QPointF(dragArea->width() / 2, dragArea->height() / 2)).toPoint();

    QTest::mouseDClick(root, Qt::LeftButton, {}, centre);
    QTRY_COMPARE(root->visibility(), QWindow::Maximized);
    QTest::mouseDClick(root, Qt::LeftButton, {}, centre);
    QTRY_COMPARE(root->visibility(), QWindow::Windowed);

    // Here no window manager takes the move: the window follows the pointer itself.
    const QPoint start = root->position();
    QTest::mousePress(root, Qt::LeftButton, {}, centre);
    QTest::mouseMove(root, centre + QPoint(20, 0));
    QTest::mouseMove(root, centre + QPoint(60, 40));
    QTest::mouseRelease(root, Qt::LeftButton, {}, centre + QPoint(60, 40));
    QTRY_VERIFY(root->position().x() > start.x() && root->position().y() > start.y());
    QCOMPARE(root->size(), QSize(1200, 688));
    QCOMPARE(root->visibility(), QWindow::Windowed);
    root->setPosition(start);
}

void TestE2eMainWindow::dongleWhoseHeadsetAnswersOpensAFreshScreen()
{
    // A dongle whose headset is off can only be updated: its screen keeps to Settings. Once the
    // headset answers, the bus swaps the firmware-only device for a full one at once (the new
    // set-up begins before the no-device screen is shown): the headset gets a new screen, which
    // opens on Sound like every new headset screen, not the old one on its Settings page.
    Unplug(m_headset);
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetNoDevice"), WaitMs);
    m_headset = PlugDongleWithoutHeadset(0x4B28);
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetKesMain"), WaitMs);
    QTRY_COMPARE(page("pages")->property("currentIndex").toInt(), 4);
    const QPointer<QObject> firmwareOnlyScreen = loaded("mainLoader");
    m_headset->setHeadsetLinked(true);
    QTRY_VERIFY_WITH_TIMEOUT(
        loaded("mainLoader") != firmwareOnlyScreen.data() && IsA(loaded("mainLoader"), "WidgetKesMain"), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(page("sidetoneSwitch") && page("sidetoneSwitch")->isEnabled(), WaitMs);
    QCOMPARE(page("pages")->property("currentIndex").toInt(), 0);
}

void TestE2eMainWindow::closeButtonEndsTheProgram()
{
    // "Close to System Tray" is off: Close closes the last window, which ends the program (held
    // back here so that the test can finish).
    QQuickWindow* root = window();
    m_app.setQuitOnLastWindowClosed(false);
    click(titleButton(CloseButton));
    QTRY_VERIFY(!root->isVisible());
}

void TestE2eMainWindow::cleanupTestCase()
{
    m_run.reset();
    m_headset.reset();
}

int main(int argc, char** argv)
{
    QTEST_SET_MAIN_SOURCE_PATH
    // The title bar, the screens and the tray come only through the window's first frame.
    return TestSupport::RunWithApp<TestE2eMainWindow>(argc, argv, {.firstFrameOnly = true});
}

#include "tst_e2e_main_window.moc"
