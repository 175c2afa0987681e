// The controls of the real main window that lead to files, links and dialogs, clicked by the user
// at the visible centre of each item: the Equalizer page's custom presets (rename, load and save
// through the page's own file dialog), the settings drawer's rows and links (the log collection
// included), and the notification cards with their links and update notices. The application
// object runs with its real hardware bus over the emulated headset, its network updater against a
// local HTTPS server that offers news, an application update and a headset firmware, on a desktop
// with a system tray and a file manager, and every file lies in a temporary folder.

#include "FakeDesktopServices.h"
#include "HeadsetPlugging.h"
#include "LocalProductHosts.h"

#include "app/App.h"
#include "platform/NetworkUpdater.h"
#include "support/InstallerDesktop.h"
#include "support/MainWindowRun.h"
#include "support/UrlCatcher.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace HidEmu;
using namespace TestSupport;
using TestNet::TestHttpServer;

namespace {

// Polls run every second; generous for a slow, sanitised CI machine.
constexpr int WaitMs = 20000;

constexpr int SettingsButton = 8;
constexpr int NotificationsButton = 16;

// The news, the application update and the firmware that the local server offers.
const QString NewsLink = QStringLiteral("https://news.example.com/kestrin/tour");
const QString ImageLink = QStringLiteral("https://news.example.com/kestrin/gallery");
const QString NewsText = QStringLiteral("Kestrin tour dates are out.");
const QString OfferedAppVersion = QStringLiteral("9.0.0");

// The gains of a preset file made by hand, one signed byte per band.
const QByteArray HandMadeGains = QByteArray::fromHex("0c0804fe00fcf8f4fa06");

} // namespace

class TestE2eWindowControls : public QObject {
    Q_OBJECT

public:
    explicit TestE2eWindowControls(App& app)
        : m_app(app)
    {
    }

private slots:
    void initTestCase();
    void cleanup();
    void customPresetIsRenamedThroughItsPencil();
    void renameIsCancelledByEscape();
    void savedPresetFileIsWholeAndLoadsBack();
    void loadOfAFileOfTheWrongSizeFails();
    void savedUnderThePresetsOwnName();
    void resetBoxFlattensTheCustomPreset();
    void changeLogLinkOpensTheNotes();
    void settingsDrawerRows();
    void trayOptionIsStoredAndShownAgain();
    void licenceNoticeOpensAboveTheDrawer();
    void collectLogsWritesTheLogsAndShowsTheFile();
    void notificationCardOpensItsLink();
    void imageCardOpensItsLinkUnderThePointer();
    void appUpdateNoticeOpensTheUpdateDialog();
    void hiddenCardLeavesTheList();
    void firmwareNoticeStartsTheFirmwareUpdate();
    void cleanupTestCase();

private:
    QQuickWindow* window() const { return m_run->window(); }
    QQuickItem* screen() const { return Loaded(window(), "mainLoader"); }
    QQuickItem* onScreen(const char* name) const { return FindVisual(screen(), QLatin1String(name)); }
    QQuickItem* titleButton(int id) const
    {
        return FindVisual(Loaded(window(), "titleBarLoader"), QStringLiteral("button%1").arg(id));
    }
    // The page of that QML type of the headset screen, shown by its side-menu entry.
    QQuickItem* showPage(int entry, const char* pageType);
    // The drawer of that title-bar button, open.
    QObject* openDrawer(int button, const char* drawerType);
    void closeDrawer(QObject* drawer);
    // The file dialog of that object name, open over the window.
    QObject* openFileDialog(const char* objectName);
    // Types `name` into the open save dialog's name field and presses its Save button.
    void saveAs(QObject* dialog, const QString& name);
    // Picks the file of that name in the open dialog's list and presses its Open button.
    void openFile(QObject* dialog, const QString& name);
    // The message box of the Equalizer page, open, with its title; then closed by its button.
    QString takeMessage(QString* icon = nullptr);
    // Clicks the pencil of the custom preset, which shows under the pointer.
    void clickPencil(QQuickItem* preset);
    QQuickItem* card(const QString& text) const;
    // As a user does: waits until the control is enabled (a preset's bands come from the
    // headset a moment after the preset), then clicks it.
    bool clickWhenEnabled(QQuickItem* item) const
    {
        return item && QTest::qWaitFor([item] { return item->isEnabled(); }, WaitMs) && ClickItem(window(), item);
    }

    App& m_app;
    QTemporaryDir m_files;
    std::unique_ptr<MainWindowRun> m_run;
    std::shared_ptr<Headset> m_headset;
    Kestrin::State* m_state = nullptr;
    std::unique_ptr<FakeDesktopServices> m_desktop;
    UrlCatcher m_browser;
};

void TestE2eWindowControls::initTestCase()
{
    QVERIFY(m_files.isValid());
    // Qt's own file dialog opens in the working folder: the test's own.
    QVERIFY(QDir::setCurrent(m_files.path()));

    TestHttpServer* server = TestNet::ProductHostsServer();
    QVERIFY(server);
    // The application's requests and the window's pictures trust the local server.
    m_app.getNetworkUpdater()->setSslConfiguration(TestHttpServer::clientSslConfiguration());
    QSslConfiguration::setDefaultConfiguration(TestHttpServer::clientSslConfiguration());
    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer png;
    QVERIFY(png.open(QIODevice::WriteOnly) && picture.save(&png, "PNG"));
    server->serve(QStringLiteral("/news/picture.png"), png.data());
    server->setContentType(QStringLiteral("/news/picture.png"), "image/png");
    const QJsonArray news{
        QJsonObject{{"id", 1}, {"type", "text"}, {"text", NewsText}, {"link", NewsLink}},
        QJsonObject{
            {"id", 2}, {"type", "image"}, {"imageUrl", server->origin("/news/picture.png")}, {"link", ImageLink}},
        QJsonObject{{"id", 3}, {"type", "text"}, {"text", "A card to put away."}},
    };
    server->serve(QStringLiteral("/Velmor_App/Notifications/Notifications.json"),
                  QJsonDocument(QJsonObject{{"notifications", news}}).toJson());
    server->serve(QStringLiteral("/Velmor_App/velmor_app.json"),
                  QJsonDocument(QJsonObject{{"win_amd64_version", OfferedAppVersion},
                                            {"win_amd64_link", server->origin("/files/installer.exe")}})
                      .toJson());
    QJsonObject firmware{{"version", "99.1.0"}};
    for (const char* hw : {"ps_headset", "ps_dongle", "xbox_headset", "xbox_dongle"}) {
        const QString path = QStringLiteral("/fw/%1.bin").arg(QLatin1String(hw));
        server->serve(path, QByteArray("image of ") + hw);
        firmware.insert(QLatin1String(hw), server->origin(path));
    }
    server->serve(QStringLiteral("/kestrin-2-fw.json"), QJsonDocument(firmware).toJson());

    // The desktop: a file manager on the session bus, and a browser for web links.
    m_desktop = std::make_unique<FakeDesktopServices>(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                      FakeDesktopServices::FileManager);
    QVERIFY(m_desktop->isReady());
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "open");

    Bus::instance().reset();
    m_headset = PlugKestrin(0x4B2E, &m_state);
    m_run = std::make_unique<MainWindowRun>(m_app, MainWindowRun::Building::ApplicationPacer);
    QVERIFY(window());
    QVERIFY(QTest::qWaitForWindowExposed(window()));
    QCOMPARE(window()->size(), QSize(1200, 688));
    QTRY_VERIFY_WITH_TIMEOUT(IsA(screen(), "WidgetKesMain"), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(onScreen("sidetoneSwitch") && onScreen("sidetoneSwitch")->isEnabled(), WaitMs);
}

void TestE2eWindowControls::cleanup()
{
    // A step that failed leaves no drawer or dialog over the next one.
    for (int tries = 0; tries < 4; ++tries) {
        const QPointer<QObject> popup = OpenPopup(window(), "QQuickPopup");
        if (!popup)
            return;
        QTest::keyClick(window(), Qt::Key_Escape);
        if (!QTest::qWaitFor([popup] { return !popup || !popup->property("visible").toBool(); }, WaitMs))
            return;
    }
}

QQuickItem* TestE2eWindowControls::showPage(int entry, const char* pageType)
{
    QQuickItem* item = onScreen(QByteArray("menuItem" + QByteArray::number(entry)).constData());
    if (!ClickItem(window(), item))
        return nullptr;
    QQuickItem* pages = onScreen("pages");
    if (!QTest::qWaitFor([&] { return pages->property("currentIndex").toInt() == entry; }, WaitMs))
        return nullptr;
    QList<QQuickItem*> found;
    const auto shown = [&] {
        found.clear();
        FindVisibleOfType(pages, pageType, found);
        return !found.isEmpty();
    };
    return QTest::qWaitFor(shown, WaitMs) ? found.constFirst() : nullptr;
}

QObject* TestE2eWindowControls::openDrawer(int button, const char* drawerType)
{
    if (!QTest::qWaitFor([&] { return titleButton(button) && titleButton(button)->isEnabled(); }, WaitMs))
        return nullptr;
    if (!ClickItem(window(), titleButton(button)))
        return nullptr;
    // Open once it has slid in.
    QObject* drawer = nullptr;
    return QTest::qWaitFor([&] { return (drawer = OpenPopup(window(), drawerType)) != nullptr; }, WaitMs) ? drawer
                                                                                                          : nullptr;
}

void TestE2eWindowControls::closeDrawer(QObject* drawer)
{
    QVERIFY(ClickItem(window(), FindVisual(PopupFace(drawer), QStringLiteral("closeBtn"))));
    QTRY_VERIFY_WITH_TIMEOUT(!drawer->property("visible").toBool(), WaitMs);
}

QObject* TestE2eWindowControls::openFileDialog(const char* objectName)
{
    QObject* dialog = nullptr;
    if (!QTest::qWaitFor([&] { return (dialog = OpenPopup(window(), "QQuickFileDialogImpl")) != nullptr; }, WaitMs))
        return nullptr;
    qInfo("%s opened in %s", objectName, qPrintable(dialog->property("currentFolder").toUrl().toString()));
    return dialog;
}

void TestE2eWindowControls::saveAs(QObject* dialog, const QString& name)
{
    QQuickItem* face = PopupFace(dialog);
    QQuickItem* field = FindVisual(face, QStringLiteral("fileNameTextField"));
    QVERIFY(field);
    QTRY_VERIFY(field->isVisible());
    QVERIFY(ClickItem(window(), field));
    QTRY_VERIFY(field->hasActiveFocus());
    // Whatever the dialog proposed goes; the user's own name comes in.
    QTest::keyClick(window(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Backspace);
    TypeText(window(), name);
    QTest::keyClick(window(), Qt::Key_Return);
    QCOMPARE(field->property("text").toString(), name);
    if (dialog->property("visible").toBool())
        QVERIFY(ClickItem(window(), FindVisibleText(face, QStringLiteral("Save"))));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->property("visible").toBool(), WaitMs);
}

void TestE2eWindowControls::openFile(QObject* dialog, const QString& name)
{
    QQuickItem* face = PopupFace(dialog);
    // The folder's list is read on a thread of its own.
    QQuickItem* entry = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((entry = FindVisibleText(face, name)) != nullptr, WaitMs);
    QVERIFY(ClickItem(window(), entry));
    QVERIFY(ClickItem(window(), FindVisibleText(face, QStringLiteral("Open"))));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->property("visible").toBool(), WaitMs);
}

QString TestE2eWindowControls::takeMessage(QString* icon)
{
    QObject* box = nullptr;
    if (!QTest::qWaitFor([&] { return (box = OpenPopup(window(), "DlgMessageBox")) != nullptr; }, WaitMs))
        return QStringLiteral("no message box");
    const QString title = box->property("title").toString();
    if (icon)
        *icon = box->property("imageSource").toUrl().fileName();
    if (!ClickItem(window(), FindVisual(PopupFace(box), QStringLiteral("confirmButton"))) ||
        !QTest::qWaitFor([&] { return !box->property("visible").toBool(); }, WaitMs))
        return QStringLiteral("the message box stays");
    return title;
}

void TestE2eWindowControls::clickPencil(QQuickItem* preset)
{
    QQuickItem* pencil = FindVisual(preset, QStringLiteral("renameButton"));
    QVERIFY(pencil);
    // Shown while the pointer is over its preset.
    QTest::mouseMove(window(), preset->mapToScene(QPointF(preset->width() / 2, preset->height() / 2)).toPoint());
    QTRY_COMPARE(pencil->opacity(), 1.0);
    QVERIFY(ClickItem(window(), pencil));
}

QQuickItem* TestE2eWindowControls::card(const QString& text) const
{
    QObject* drawer = OpenPopup(window(), "PopupNotifications");
    QQuickItem* list = FindVisual(PopupFace(drawer), QStringLiteral("notificationsListView"));
    QQuickItem* label = FindVisibleText(list, text);
    QQuickItem* found = label;
    while (found && !IsA(found, "ItemNotificationText"))
        found = found->parentItem();
    return found;
}

void TestE2eWindowControls::customPresetIsRenamedThroughItsPencil()
{
    QQuickItem* eqPage = showPage(1, "WidgetKesTabEq");
    QVERIFY(eqPage);
    QQuickItem* second = FindVisual(eqPage, QStringLiteral("preset8"));
    QCOMPARE(second->property("text").toString(), QStringLiteral("EQ 2"));
    clickPencil(second);

    QObject* dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = OpenPopup(window(), "DlgRenameEq")) != nullptr, WaitMs);
    QQuickItem* face = PopupFace(dialog);
    QCOMPARE(FindVisual(face, QStringLiteral("prefixLabel"))->property("text").toString(), QStringLiteral("EQ 2 -"));
    // The name field has the keyboard at once.
    QQuickItem* input = FindVisual(face, QStringLiteral("input"));
    QTRY_VERIFY(input->hasActiveFocus());
    TypeText(window(), QStringLiteral("Night Raid"));
    QVERIFY(ClickItem(window(), FindVisual(face, QStringLiteral("confirmButton"))));
    QTRY_VERIFY(!dialog->property("visible").toBool());

    QTRY_COMPARE(second->property("text").toString(), QStringLiteral("EQ 2 - Night Raid"));
    // Renaming names the preset only: the headset stays on its preset.
    QCOMPARE(int(m_state->eqIndex), 1);
    // Kept for the headset's model and variant in the settings file.
    QSettings settings(AppDataPath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    bool stored = false;
    for (const QString& key : settings.allKeys()) {
        if (key.endsWith(QLatin1String("eq_names")))
            stored = settings.value(key).toStringList().value(1) == QLatin1String("Night Raid");
    }
    QVERIFY2(stored, qPrintable(settings.allKeys().join(QLatin1Char(' '))));

    // Confirming an emptied field takes the name away.
    clickPencil(second);
    QTRY_VERIFY(dialog->property("opened").toBool());
    QTRY_COMPARE(input->property("text").toString(), QStringLiteral("Night Raid"));
    QTRY_VERIFY(input->hasActiveFocus());
    QTest::keyClick(window(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Backspace);
    QTest::keyClick(window(), Qt::Key_Return);
    QTRY_VERIFY(!dialog->property("visible").toBool());
    QTRY_COMPARE(second->property("text").toString(), QStringLiteral("EQ 2"));
}

void TestE2eWindowControls::renameIsCancelledByEscape()
{
    QQuickItem* eqPage = showPage(1, "WidgetKesTabEq");
    QQuickItem* fourth = FindVisual(eqPage, QStringLiteral("preset10"));
    clickPencil(fourth);
    QObject* dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = OpenPopup(window(), "DlgRenameEq")) != nullptr, WaitMs);
    QCOMPARE(FindVisual(PopupFace(dialog), QStringLiteral("prefixLabel"))->property("text").toString(),
             QStringLiteral("EQ 4 -"));
    TypeText(window(), QStringLiteral("Never Kept"));
    QTest::keyClick(window(), Qt::Key_Escape);
    QTRY_VERIFY(!dialog->property("visible").toBool());
    QCOMPARE(fourth->property("text").toString(), QStringLiteral("EQ 4"));
}

void TestE2eWindowControls::resetBoxFlattensTheCustomPreset()
{
    QQuickItem* eqPage = showPage(1, "WidgetKesTabEq");
    QVERIFY(ClickItem(window(), FindVisual(eqPage, QStringLiteral("preset10"))));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 10, WaitMs);
    QQuickItem* slider = FindVisual(eqPage, QStringLiteral("bandSlider4"));
    QVERIFY(clickWhenEnabled(slider));
    QVERIFY(ClickItem(window(), slider, QPointF(slider->width() / 2, slider->height() * 0.2)));
    QTRY_VERIFY(BandGains(eqPage).value(4) > 0);

    // The box opens with its confirming button focused: Space resets.
    QVERIFY(clickWhenEnabled(FindVisual(eqPage, QStringLiteral("resetButton"))));
    QObject* box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = OpenPopup(window(), "DlgConfirmBox")) != nullptr, WaitMs);
    QQuickItem* confirm = FindVisual(PopupFace(box), QStringLiteral("confirmButton"));
    QVERIFY(confirm);
    QTRY_VERIFY(confirm->hasActiveFocus());
    QTest::keyClick(window(), Qt::Key_Space);
    QTRY_VERIFY(!box->property("visible").toBool());
    QTRY_COMPARE_WITH_TIMEOUT(BandGains(eqPage), QList<int>(10, 0), WaitMs);
}

void TestE2eWindowControls::changeLogLinkOpensTheNotes()
{
    QQuickItem* settingsPage = showPage(4, "WidgetKesTabProductSettings");
    QVERIFY(settingsPage);
    m_browser.urls.clear();
    QVERIFY(clickWhenEnabled(FindVisual(settingsPage, QStringLiteral("changeLogLink"))));
    QTRY_COMPARE(m_browser.urls.size(), 1);
    QVERIFY2(m_browser.urls.constFirst().toString().endsWith(QLatin1String("/pages/kestrin2-update-notes")),
             qPrintable(m_browser.urls.constFirst().toString()));
}

void TestE2eWindowControls::savedPresetFileIsWholeAndLoadsBack()
{
    QQuickItem* eqPage = showPage(1, "WidgetKesTabEq");
    QQuickItem* save = FindVisual(eqPage, QStringLiteral("saveButton"));
    // A built-in preset is not saved.
    QVERIFY(!save->isEnabled());
    QVERIFY(ClickItem(window(), FindVisual(eqPage, QStringLiteral("preset7"))));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 7, WaitMs);
    QTRY_VERIFY(save->isEnabled());

    // A curve of the user's own: the first band clicked near its top, the last near its bottom.
    for (const auto& [band, fraction] : {std::pair{0, 0.2}, std::pair{9, 0.8}}) {
        QQuickItem* slider = FindVisual(eqPage, QStringLiteral("bandSlider%1").arg(band));
        const int before = qRound(slider->property("value").toDouble());
        QVERIFY(ClickItem(window(), slider, QPointF(slider->width() / 2, slider->height() * fraction)));
        QTRY_VERIFY(qRound(slider->property("value").toDouble()) != before);
    }
    const QList<int> curve = BandGains(eqPage);
    QCOMPARE(curve.size(), 10);
    QVERIFY(curve.first() > 0 && curve.last() < 0);

    m_headset->clearLog();
    QVERIFY(ClickItem(window(), save));
    QObject* dialog = openFileDialog("saveFileDialog");
    QVERIFY(dialog);
    QCOMPARE(dialog->property("title").toString(), QStringLiteral("Save as"));
    saveAs(dialog, QStringLiteral("My Curve"));
    QString icon;
    QCOMPARE(takeMessage(&icon), QStringLiteral("Saving Complete"));
    QCOMPARE(icon, QStringLiteral("success.svg"));

    // One signed byte per band, nothing else, with the ".lvreq" the dialog's filter names.
    QFile saved(QDir(m_files.path()).filePath(QStringLiteral("My Curve.lvreq")));
    QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(saved.fileName()));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes.size(), curve.size());
    for (int band = 0; band < curve.size(); ++band)
        QCOMPARE(int(qint8(bytes.at(band))), curve.at(band));

    // Back into another custom preset, through the page's open dialog.
    QVERIFY(ClickItem(window(), FindVisual(eqPage, QStringLiteral("preset9"))));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 9, WaitMs);
    QTRY_VERIFY(BandGains(eqPage) != curve);
    const size_t requestsBefore = m_headset->requests().size();
    QVERIFY(clickWhenEnabled(FindVisual(eqPage, QStringLiteral("loadButton"))));
    dialog = openFileDialog("openFileDialog");
    QVERIFY(dialog);
    QCOMPARE(dialog->property("title").toString(), QStringLiteral("Please choose a file"));
    openFile(dialog, QStringLiteral("My Curve.lvreq"));
    QCOMPARE(takeMessage(&icon), QStringLiteral("Load Complete"));
    QCOMPARE(icon, QStringLiteral("success.svg"));
    QTRY_COMPARE(BandGains(eqPage), curve);
    // The preset takes the file's name, and the headset the gains.
    QTRY_COMPARE(FindVisual(eqPage, QStringLiteral("preset9"))->property("text").toString(),
                 QStringLiteral("EQ 3 - My Curve"));
    QTRY_VERIFY_WITH_TIMEOUT(m_headset->requests().size() > requestsBefore, WaitMs);
    QVERIFY(m_headset->violations().empty());
}

void TestE2eWindowControls::loadOfAFileOfTheWrongSizeFails()
{
    QQuickItem* eqPage = showPage(1, "WidgetKesTabEq");
    QVERIFY(ClickItem(window(), FindVisual(eqPage, QStringLiteral("preset10"))));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 10, WaitMs);
    QFile shortFile(QDir(m_files.path()).filePath(QStringLiteral("Short.lvreq")));
    QVERIFY(shortFile.open(QIODevice::WriteOnly));
    QCOMPARE(shortFile.write(HandMadeGains.left(9)), 9);
    shortFile.close();
    QQuickItem* load = FindVisual(eqPage, QStringLiteral("loadButton"));
    QTRY_VERIFY_WITH_TIMEOUT(load->isEnabled(), WaitMs);
    const QList<int> before = BandGains(eqPage);

    QVERIFY(ClickItem(window(), load));
    QObject* dialog = openFileDialog("openFileDialog");
    QVERIFY(dialog);
    openFile(dialog, QStringLiteral("Short.lvreq"));
    QString icon;
    QCOMPARE(takeMessage(&icon), QStringLiteral("Load Failed"));
    QCOMPARE(icon, QStringLiteral("warning.svg"));
    QCOMPARE(BandGains(eqPage), before);
    QCOMPARE(FindVisual(eqPage, QStringLiteral("preset10"))->property("text").toString(), QStringLiteral("EQ 4"));

    // A whole file of the user's own makes the gains it holds.
    QFile handMade(QDir(m_files.path()).filePath(QStringLiteral("Hand.made.lvreq")));
    QVERIFY(handMade.open(QIODevice::WriteOnly));
    QCOMPARE(handMade.write(HandMadeGains), HandMadeGains.size());
    handMade.close();
    QVERIFY(clickWhenEnabled(FindVisual(eqPage, QStringLiteral("loadButton"))));
    dialog = openFileDialog("openFileDialog");
    QVERIFY(dialog);
    openFile(dialog, QStringLiteral("Hand.made.lvreq"));
    QCOMPARE(takeMessage(), QStringLiteral("Load Complete"));
    QList<int> expected;
    for (const char byte : HandMadeGains)
        expected << int(qint8(byte));
    QTRY_COMPARE(BandGains(eqPage), expected);
    // Named after the file up to its first dot.
    QTRY_COMPARE(FindVisual(eqPage, QStringLiteral("preset10"))->property("text").toString(),
                 QStringLiteral("EQ 4 - Hand"));
}

// The Save dialog proposes the preset's name as it is, characters that mean something in an
// address included, and a click on "Save" keeps it whole.
void TestE2eWindowControls::savedUnderThePresetsOwnName()
{
    QQuickItem* eqPage = showPage(1, "WidgetKesTabEq");
    QQuickItem* fourth = FindVisual(eqPage, QStringLiteral("preset10"));
    QVERIFY(ClickItem(window(), fourth));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 10, WaitMs);
    clickPencil(fourth);
    QObject* rename = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((rename = OpenPopup(window(), "DlgRenameEq")) != nullptr, WaitMs);
    QQuickItem* input = FindVisual(PopupFace(rename), QStringLiteral("input"));
    QTRY_VERIFY(input->hasActiveFocus());
    QTest::keyClick(window(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Backspace);
    const QString name = QStringLiteral("Bass #1 50%");
    TypeText(window(), name);
    QVERIFY(ClickItem(window(), FindVisual(PopupFace(rename), QStringLiteral("confirmButton"))));
    QTRY_VERIFY(!rename->property("visible").toBool());
    QTRY_COMPARE(fourth->property("text").toString(), QStringLiteral("EQ 4 - ") + name);

    QVERIFY(clickWhenEnabled(FindVisual(eqPage, QStringLiteral("saveButton"))));
    QObject* dialog = openFileDialog("saveFileDialog");
    QVERIFY(dialog);
    QQuickItem* face = PopupFace(dialog);
    QQuickItem* field = FindVisual(face, QStringLiteral("fileNameTextField"));
    QVERIFY(field);
    QTRY_COMPARE(field->property("text").toString(), name);
    QVERIFY(ClickItem(window(), FindVisibleText(face, QStringLiteral("Save"))));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->property("visible").toBool(), WaitMs);
    QCOMPARE(takeMessage(), QStringLiteral("Saving Complete"));
    QCOMPARE(QFileInfo(QDir(m_files.path()).filePath(name + QStringLiteral(".lvreq"))).size(), 10);
}

void TestE2eWindowControls::settingsDrawerRows()
{
    // The offered application version comes with the news after the first frame.
    QTRY_COMPARE_WITH_TIMEOUT(m_app.getAppMediator()->property("updateVersion").toString(), OfferedAppVersion, WaitMs);
    QObject* drawer = openDrawer(SettingsButton, "PopupAppSettings");
    QVERIFY(drawer);
    QQuickItem* face = PopupFace(drawer);
    QCOMPARE(FindVisual(face, QStringLiteral("versionText"))->property("text").toString(), QStringLiteral("1.2.48"));
    QVERIFY(!FindVisual(face, QStringLiteral("launchOnStartupRow"))->isVisible());
    QQuickItem* updateRow = FindVisual(face, QStringLiteral("updateRow"));
    QVERIFY(updateRow->isVisible());
    QVERIFY(FindVisibleText(updateRow, OfferedAppVersion + QStringLiteral(" Available")));

    // English is the one language, whatever the user picks.
    QQuickItem* language = FindVisual(face, QStringLiteral("languageCombo"));
    QCOMPARE(language->property("displayText").toString(), QStringLiteral("English"));
    QVERIFY(ClickItem(window(), language));
    QObject* list = language->property("popup").value<QObject*>();
    QTRY_VERIFY(list->property("opened").toBool());
    QQuickItem* entry = nullptr;
    QTRY_VERIFY((entry = FindVisibleText(PopupFace(list), QStringLiteral("English"))) != nullptr);
    QVERIFY(ClickItem(window(), entry));
    QTRY_VERIFY(!list->property("visible").toBool());
    QCOMPARE(language->property("currentIndex").toInt(), 0);
    QCOMPARE(language->property("displayText").toString(), QStringLiteral("English"));

    // "Update" opens the update dialog above the drawer.
    QVERIFY(ClickItem(window(), FindVisual(face, QStringLiteral("updateBtn"))));
    QObject* update = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((update = OpenPopup(window(), "DlgAppUpdate")) != nullptr, WaitMs);
    QVERIFY(drawer->property("opened").toBool());
    QVERIFY(ClickItem(window(), FindVisual(PopupFace(update), QStringLiteral("cancelButton"))));
    QTRY_VERIFY(!update->property("visible").toBool());
    // Nothing was downloaded.
    QCOMPARE(TestNet::ProductHostsServer()->requestCount(QStringLiteral("/files/installer.exe")), 0);
    QVERIFY(StartedInstallers().isEmpty());
    closeDrawer(drawer);
}

void TestE2eWindowControls::trayOptionIsStoredAndShownAgain()
{
    QObject* appMediator = m_app.getAppMediator();
    QVERIFY(!appMediator->property("minimizeToTray").toBool());
    for (const bool wanted : {true, false}) {
        QObject* drawer = openDrawer(SettingsButton, "PopupAppSettings");
        QVERIFY(drawer);
        QQuickItem* traySwitch = FindVisual(PopupFace(drawer), QStringLiteral("traySwitch"));
        // This desktop has a tray.
        QTRY_VERIFY_WITH_TIMEOUT(traySwitch->isEnabled(), WaitMs);
        QCOMPARE(traySwitch->property("checked").toBool(), !wanted);
        QVERIFY(ClickItem(window(), traySwitch));
        QTRY_COMPARE(appMediator->property("minimizeToTray").toBool(), wanted);
        QSettings settings(AppDataPath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("minimize_to_tray")).toBool(), wanted);
        closeDrawer(drawer);
        // Shown again as stored.
        drawer = openDrawer(SettingsButton, "PopupAppSettings");
        QVERIFY(drawer);
        QCOMPARE(FindVisual(PopupFace(drawer), QStringLiteral("traySwitch"))->property("checked").toBool(), wanted);
        closeDrawer(drawer);
    }
}

void TestE2eWindowControls::licenceNoticeOpensAboveTheDrawer()
{
    QObject* drawer = openDrawer(SettingsButton, "PopupAppSettings");
    QVERIFY(drawer);
    QVERIFY(ClickItem(window(), FindVisual(PopupFace(drawer), QStringLiteral("licenseLink"))));
    QObject* licences = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((licences = OpenPopup(window(), "DlgLicenses")) != nullptr, WaitMs);
    QVERIFY(drawer->property("opened").toBool());
    const QString notice = FindVisual(PopupFace(licences), QStringLiteral("labelText"))->property("text").toString();
    QVERIFY2(notice.contains(QLatin1String("/qt-6/lgpl.html")), qPrintable(notice));
    QVERIFY(ClickItem(window(), FindVisual(PopupFace(licences), QStringLiteral("closeButton"))));
    QTRY_VERIFY(!licences->property("visible").toBool());
    closeDrawer(drawer);
}

void TestE2eWindowControls::collectLogsWritesTheLogsAndShowsTheFile()
{
    QObject* drawer = openDrawer(SettingsButton, "PopupAppSettings");
    QVERIFY(drawer);
    QVERIFY(ClickItem(window(), FindVisual(PopupFace(drawer), QStringLiteral("collectLogsLink"))));
    QObject* dialog = openFileDialog("saveFileDialog");
    QVERIFY(dialog);
    QCOMPARE(dialog->property("title").toString(), QStringLiteral("Save as"));
    saveAs(dialog, QStringLiteral("Velmor logs"));

    // The file has the ".log" of the dialog's filter and holds this run's log.
    const QString path = QDir(m_files.path()).filePath(QStringLiteral("Velmor logs.log"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), WaitMs);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    QVERIFY2(text.contains("version: 1.2.48"), text.left(400).constData());
    // The file manager shows it.
    QTRY_COMPARE_WITH_TIMEOUT(m_desktop->fileManager().shown().size(), 1, WaitMs);
    const QStringList shown = m_desktop->fileManager().shown().constFirst();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(QUrl(shown.constFirst()).toLocalFile(), path);
    closeDrawer(drawer);
}

void TestE2eWindowControls::notificationCardOpensItsLink()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_app.getNotificationsMediator()->property("newNotificationsCount").toInt() >= 3, WaitMs);
    QObject* drawer = openDrawer(NotificationsButton, "PopupNotifications");
    QVERIFY(drawer);
    QQuickItem* news = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((news = card(NewsText)) != nullptr, WaitMs);
    QVERIFY(FindVisual(news, QStringLiteral("itemNew"))->isVisible());
    // A news item without a start date carries today's, in English whatever the language.
    QCOMPARE(news->property("date").toString(), QLocale::c().toString(QDate::currentDate(), u"dd MMM yyyy"));
    m_browser.urls.clear();
    QVERIFY(ClickItem(window(), FindVisual(news, QStringLiteral("openBtn"))));
    QTRY_COMPARE(m_browser.urls, QList<QUrl>{QUrl(NewsLink)});
    QVERIFY(drawer->property("opened").toBool());
    closeDrawer(drawer);
    // Closing marks what was listed as seen.
    QTRY_COMPARE(m_app.getNotificationsMediator()->property("newNotificationsCount").toInt(), 0);
}

void TestE2eWindowControls::imageCardOpensItsLinkUnderThePointer()
{
    QObject* drawer = openDrawer(NotificationsButton, "PopupNotifications");
    QVERIFY(drawer);
    QList<QQuickItem*> images;
    QTRY_VERIFY_WITH_TIMEOUT((FindVisibleOfType(PopupFace(drawer), "ItemNotificationImage", images), !images.isEmpty()),
                             WaitMs);
    QQuickItem* image = images.constFirst();
    // The picture comes over the encrypted connection.
    constexpr int ImageReady = 1; // Image.Ready
    QTRY_COMPARE_WITH_TIMEOUT(FindVisual(image, QStringLiteral("sourceItem"))->property("status").toInt(), ImageReady,
                              WaitMs);
    QQuickItem* link = FindVisual(image, QStringLiteral("linkBtn"));
    QVERIFY(!FindVisual(image, QStringLiteral("overlay"))->isVisible());
    QTest::mouseMove(window(), image->mapToScene(QPointF(image->width() / 4, image->height() / 2)).toPoint());
    QTRY_VERIFY(link->isVisible());
    m_browser.urls.clear();
    QVERIFY(ClickItem(window(), link));
    QTRY_COMPARE(m_browser.urls, QList<QUrl>{QUrl(ImageLink)});
    closeDrawer(drawer);
}

void TestE2eWindowControls::appUpdateNoticeOpensTheUpdateDialog()
{
    QObject* drawer = openDrawer(NotificationsButton, "PopupNotifications");
    QVERIFY(drawer);
    QQuickItem* notice = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (notice = card(QStringLiteral("A new version of the Velmor App is available."))) != nullptr, WaitMs);
    QVERIFY(!FindVisual(notice, QStringLiteral("openBtn"))->isVisible());
    QVERIFY(ClickItem(window(), FindVisual(notice, QStringLiteral("updateBtn"))));
    QObject* update = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((update = OpenPopup(window(), "DlgAppUpdate")) != nullptr, WaitMs);
    // The drawer stays open underneath.
    QVERIFY(drawer->property("opened").toBool());
    QVERIFY(ClickItem(window(), FindVisual(PopupFace(update), QStringLiteral("cancelButton"))));
    QTRY_VERIFY(!update->property("visible").toBool());
    closeDrawer(drawer);
}

void TestE2eWindowControls::hiddenCardLeavesTheList()
{
    QObject* drawer = openDrawer(NotificationsButton, "PopupNotifications");
    QVERIFY(drawer);
    const QString text = QStringLiteral("A card to put away.");
    QQuickItem* putAway = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((putAway = card(text)) != nullptr, WaitMs);
    QVERIFY(ClickItem(window(), FindVisual(putAway, QStringLiteral("closeBtn"))));
    QTRY_VERIFY_WITH_TIMEOUT(card(text) == nullptr, WaitMs);
    QVERIFY(card(NewsText));
    closeDrawer(drawer);
    // It stays away when the drawer opens again.
    drawer = openDrawer(NotificationsButton, "PopupNotifications");
    QVERIFY(drawer);
    QVERIFY(card(NewsText));
    QVERIFY(!card(text));
    closeDrawer(drawer);
}

void TestE2eWindowControls::firmwareNoticeStartsTheFirmwareUpdate()
{
    // The offered image is downloaded once the headset's model is known.
    QObject* fwMediator = m_app.uiModel()->property("fwMediator").value<QObject*>();
    QTRY_VERIFY_WITH_TIMEOUT(fwMediator->property("hasFwUpdate").toBool(), WaitMs);
    QObject* drawer = openDrawer(NotificationsButton, "PopupNotifications");
    QVERIFY(drawer);
    QQuickItem* notice = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (notice = card(QStringLiteral("A firmware update is required for your headphones."))) != nullptr, WaitMs);
    QVERIFY(ClickItem(window(), FindVisual(notice, QStringLiteral("updateBtn"))));
    // The drawer goes; the headset screen shows its Settings page with the firmware offered.
    QTRY_VERIFY_WITH_TIMEOUT(!drawer->property("visible").toBool(), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(onScreen("pages")->property("currentIndex").toInt(), 4, WaitMs);
    QQuickItem* settingsPage = showPage(4, "WidgetKesTabProductSettings");
    QVERIFY(settingsPage);
    QVERIFY(FindVisual(settingsPage, QStringLiteral("buttonUpdate"))->isVisible());
    if (fwMediator->property("canInstallFw").toBool()) {
        // The update starts with its dialog.
        QObject* firmware = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((firmware = OpenPopup(window(), "DlgKesFwUpdate")) != nullptr, WaitMs);
        QVERIFY(ClickItem(window(), FindVisual(PopupFace(firmware), QStringLiteral("cancelButton"))));
        QTRY_VERIFY_WITH_TIMEOUT(!firmware->property("visible").toBool(), WaitMs);
    } else {
        // Where no firmware can be installed, the page says so instead of starting.
        QVERIFY(FindVisual(settingsPage, QStringLiteral("fwInstallUnavailable"))->isVisible());
        QVERIFY(!FindVisual(settingsPage, QStringLiteral("buttonUpdate"))->isEnabled());
        QVERIFY(!OpenPopup(window(), "DlgKesFwUpdate"));
    }
    QVERIFY(m_headset->violations().empty());
}

void TestE2eWindowControls::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    m_run.reset();
    m_headset.reset();
    m_desktop.reset();
    delete TestNet::ProductHostsServer();
    QDir::setCurrent(QDir::tempPath());
}

int main(int argc, char** argv)
{
    QTEST_SET_MAIN_SOURCE_PATH
    // West of UTC, and in another language: a day handed to the window as midnight UTC falls on
    // the day before there, and month names follow the language unless asked not to.
    qputenv("TZ", "America/New_York");
    qputenv("LANG", "de_DE.UTF-8");
    return RunWithApp<TestE2eWindowControls>(argc, argv, {.legalTermsAccepted = true, .firstFrameOnly = true});
}

#include "tst_e2e_window_controls.moc"
