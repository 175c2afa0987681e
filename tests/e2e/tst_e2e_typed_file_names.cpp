// A file name typed into Qt's own file dialog on a real X server, with real X input (xdotool): the
// user opens the Equalizer page's Save dialog and the settings drawer's "Collect Logs" dialog by
// clicks, types a bare name with a blank in it and presses Return, then Save. Qt's dialog hands
// such a name over as an address without a scheme; the file must still land in the folder that
// the dialog shows, whole, with the extension of the dialog's filter, and the preset must load
// back from it through the Load dialog.

#include "HeadsetPlugging.h"

#include "app/App.h"
#include "support/MainWindowRun.h"
#include "support/UrlCatcher.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace HidEmu;
using namespace TestSupport;

namespace {

constexpr int WaitMs = 20000;

constexpr int SettingsButton = 8;

} // namespace

class TestE2eTypedFileNames : public QObject {
    Q_OBJECT

public:
    explicit TestE2eTypedFileNames(App& app)
        : m_app(app)
    {
    }

private slots:
    void initTestCase();
    void typedPresetNameIsSavedInTheDialogsFolder();
    void typedLogFileNameIsSavedInTheDialogsFolder();
    void cleanupTestCase();

private:
    QQuickWindow* window() const { return m_run->window(); }
    QQuickItem* onScreen(const QString& name) const { return FindVisual(Loaded(window(), "mainLoader"), name); }
    // xdotool with these arguments, as a person's mouse and keyboard.
    static bool X(const QStringList& arguments);
    // A real click of the X server's pointer at the visible centre of the item.
    bool xClick(QQuickItem* item) const;
    // Types `name` into the save dialog that the last click opened, presses Return and then
    // Save; gives the folder that the dialog showed, once the dialog has taken the name.
    void typeNameAndSave(const QString& name, QString& folder);
    QObject* waitForPopup(const char* qmlType) const;

    App& m_app;
    QTemporaryDir m_files;
    std::unique_ptr<MainWindowRun> m_run;
    std::shared_ptr<Headset> m_headset;
    Kestrin::State* m_state = nullptr;
    UrlCatcher m_folders;
};

bool TestE2eTypedFileNames::X(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool TestE2eTypedFileNames::xClick(QQuickItem* item) const
{
    // As a person does: waits until the control is shown and enabled (a preset's bands come from
    // the headset a moment after the preset).
    if (!item || !QTest::qWaitFor([item] { return item->isVisible() && item->isEnabled(); }, WaitMs))
        return false;
    const auto centre = [this, item] {
        return window()->mapToGlobal(item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
    };
    // Where the item stays once the layouts around it have settled (a dialog lays out its
    // footer again as its name field shows): the same place in two frames running.
    QPoint at = centre();
    for (int frame = 0; frame < 50; ++frame) {
        QSignalSpy swapped(window(), &QQuickWindow::frameSwapped);
        window()->update();
        if (!swapped.wait(1000))
            return false;
        const QPoint now = centre();
        if (now == at)
            break;
        at = now;
    }
    // Settles the pointer first, so that the hover under it is known before the press.
    return X({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("sleep"),
              QStringLiteral("0.2"), QStringLiteral("click"), QStringLiteral("1")});
}

QObject* TestE2eTypedFileNames::waitForPopup(const char* qmlType) const
{
    QObject* popup = nullptr;
    return QTest::qWaitFor([&] { return (popup = OpenPopup(window(), qmlType)) != nullptr; }, WaitMs) ? popup : nullptr;
}

void TestE2eTypedFileNames::typeNameAndSave(const QString& name, QString& folder)
{
    QObject* dialog = waitForPopup("QQuickFileDialogImpl");
    QVERIFY(dialog);
    QQuickItem* face = PopupFace(dialog);
    QQuickItem* field = FindVisual(face, QStringLiteral("fileNameTextField"));
    QVERIFY(field);
    QTRY_VERIFY_WITH_TIMEOUT(field->isVisible(), WaitMs);
    QVERIFY(xClick(field));
    QTRY_VERIFY_WITH_TIMEOUT(field->hasActiveFocus(), WaitMs);
    const QString shown = dialog->property("currentFolder").toUrl().toLocalFile();
    // The proposed name goes; the typed one comes, committed with Return, then Save.
    QVERIFY(X({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")}));
    QVERIFY(X({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), name}));
    QTRY_COMPARE_WITH_TIMEOUT(field->property("text").toString(), name, WaitMs);
    QVERIFY(X({QStringLiteral("key"), QStringLiteral("Return")}));
    if (dialog->property("visible").toBool())
        QVERIFY(xClick(FindVisibleText(face, QStringLiteral("Save"))));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->property("visible").toBool(), WaitMs);
    folder = shown;
}

void TestE2eTypedFileNames::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs an X server and xdotool");
    QVERIFY(m_files.isValid());
    // Qt's own file dialog opens in the working folder: the test's own.
    QVERIFY(QDir::setCurrent(m_files.path()));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_folders, "open");

    Bus::instance().reset();
    m_headset = PlugKestrin(0x4B2E, &m_state);
    m_run = std::make_unique<MainWindowRun>(m_app, MainWindowRun::Building::ApplicationPacer);
    QVERIFY(window());
    QVERIFY(QTest::qWaitForWindowExposed(window()));
    QTRY_VERIFY_WITH_TIMEOUT(IsA(Loaded(window(), "mainLoader"), "WidgetKesMain"), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(
        onScreen(QStringLiteral("menuItem1")) && onScreen(QStringLiteral("menuItem1"))->isEnabled(), WaitMs);
}

void TestE2eTypedFileNames::typedPresetNameIsSavedInTheDialogsFolder()
{
    QVERIFY(xClick(onScreen(QStringLiteral("menuItem1"))));
    QTRY_VERIFY_WITH_TIMEOUT(onScreen(QStringLiteral("pages")) &&
                                 onScreen(QStringLiteral("pages"))->property("currentIndex").toInt() == 1,
                             WaitMs);
    QQuickItem* eqPage = onScreen(QStringLiteral("bandArea"));
    while (eqPage && !IsA(eqPage, "WidgetKesTabEq"))
        eqPage = eqPage->parentItem();
    QVERIFY(eqPage);
    QVERIFY(xClick(FindVisual(eqPage, QStringLiteral("preset7"))));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 7, WaitMs);
    // The preset's bands come from the headset a moment later.
    QQuickItem* firstBand = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((firstBand = FindVisual(eqPage, QStringLiteral("bandSlider0"))) && firstBand->isEnabled(),
                             WaitMs);
    // A gain of the user's own on the first band: its slider pressed near the top.
    const QPoint top = window()->mapToGlobal(
        firstBand->mapToScene(QPointF(firstBand->width() / 2, firstBand->height() * 0.2)).toPoint());
    QVERIFY(X({QStringLiteral("mousemove"), QString::number(top.x()), QString::number(top.y()), QStringLiteral("sleep"),
               QStringLiteral("0.2"), QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_VERIFY_WITH_TIMEOUT(qRound(firstBand->property("value").toDouble()) > 0, WaitMs);
    const QList<int> curve = BandGains(eqPage);

    QVERIFY(xClick(FindVisual(eqPage, QStringLiteral("saveButton"))));
    QString folder;
    typeNameAndSave(QStringLiteral("Typed Bass"), folder);
    QVERIFY(!folder.isEmpty());
    QObject* box = waitForPopup("DlgMessageBox");
    QVERIFY(box);
    QCOMPARE(box->property("title").toString(), QStringLiteral("Saving Complete"));
    QVERIFY(xClick(FindVisual(PopupFace(box), QStringLiteral("confirmButton"))));
    QTRY_VERIFY(!box->property("visible").toBool());

    // Whole, in the folder that the dialog showed, with the filter's extension.
    QFile saved(QDir(folder).filePath(QStringLiteral("Typed Bass.lvreq")));
    QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(saved.fileName() + QStringLiteral(" in ") + folder));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes.size(), curve.size());
    for (int band = 0; band < curve.size(); ++band)
        QCOMPARE(int(qint8(bytes.at(band))), curve.at(band));

    // And back, into the second custom preset, through the Load dialog.
    QVERIFY(xClick(FindVisual(eqPage, QStringLiteral("preset8"))));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_state->eqIndex), 8, WaitMs);
    QTRY_VERIFY(BandGains(eqPage) != curve);
    QVERIFY(xClick(FindVisual(eqPage, QStringLiteral("loadButton"))));
    QObject* dialog = waitForPopup("QQuickFileDialogImpl");
    QVERIFY(dialog);
    QQuickItem* entry = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (entry = FindVisibleText(PopupFace(dialog), QStringLiteral("Typed Bass.lvreq"))) != nullptr, WaitMs);
    QVERIFY(xClick(entry));
    QVERIFY(xClick(FindVisibleText(PopupFace(dialog), QStringLiteral("Open"))));
    box = waitForPopup("DlgMessageBox");
    QVERIFY(box);
    QCOMPARE(box->property("title").toString(), QStringLiteral("Load Complete"));
    QVERIFY(xClick(FindVisual(PopupFace(box), QStringLiteral("confirmButton"))));
    QTRY_COMPARE(BandGains(eqPage), curve);
    QTRY_COMPARE(FindVisual(eqPage, QStringLiteral("preset8"))->property("text").toString(),
                 QStringLiteral("EQ 2 - Typed Bass"));
    QVERIFY(m_headset->violations().empty());
}

void TestE2eTypedFileNames::typedLogFileNameIsSavedInTheDialogsFolder()
{
    QQuickItem* settings =
        FindVisual(Loaded(window(), "titleBarLoader"), QStringLiteral("button%1").arg(SettingsButton));
    QTRY_VERIFY(settings && settings->isEnabled());
    QVERIFY(xClick(settings));
    QObject* drawer = waitForPopup("PopupAppSettings");
    QVERIFY(drawer);
    QVERIFY(xClick(FindVisual(PopupFace(drawer), QStringLiteral("collectLogsLink"))));
    QString folder;
    typeNameAndSave(QStringLiteral("Typed logs"), folder);
    QVERIFY(!folder.isEmpty());

    const QString path = QDir(folder).filePath(QStringLiteral("Typed logs.log"));
    QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(path), qPrintable(path), WaitMs);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains("version: 1.2.48"));
    // With no file manager on this desktop, its folder is opened instead.
    QTRY_COMPARE_WITH_TIMEOUT(m_folders.urls, QList<QUrl>{QUrl::fromLocalFile(folder)}, WaitMs);
}

void TestE2eTypedFileNames::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    m_run.reset();
    m_headset.reset();
    QDir::setCurrent(QDir::tempPath());
}

int main(int argc, char** argv)
{
    QTEST_SET_MAIN_SOURCE_PATH
    return RunWithApp<TestE2eTypedFileNames>(argc, argv, {.legalTermsAccepted = true, .firstFrameOnly = true});
}

#include "tst_e2e_typed_file_names.moc"
