#include "ui_mediators/UIAppMediator.h"

#include "app/core/GlobalLogger.h"
#include "app/core/Preferences.h"
#include "platform/FilesHelper.h"

#include <QtQml/qqml.h>

namespace UIMediators {

namespace {

constexpr auto c_license_accepted = Preferences::BoolProperty::license_accepted;
constexpr auto c_minimize_to_tray = Preferences::BoolProperty::minimize_to_tray;

} // namespace

UIAppMediator::UIAppMediator(Platform::NetworkUpdater&, Preferences& preferences, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
{
    connect(&m_preferences, &Preferences::boolChanged, this, [this](Preferences::BoolProperty property) {
        if (property == c_license_accepted)
            emit eulaAcceptedChanged();
        else if (property == c_minimize_to_tray)
            emit minimizeToTrayChanged();
    });
}

bool UIAppMediator::isEulaAccepted() const
{
    return m_preferences.getBool(c_license_accepted);
}

void UIAppMediator::setEulaAccepted(bool accepted)
{
    m_preferences.setBool(c_license_accepted, accepted);
}

bool UIAppMediator::getMinimizeToTray() const
{
    return m_preferences.getBool(c_minimize_to_tray);
}

void UIAppMediator::setMinimizeToTray(bool on)
{
    m_preferences.setBool(c_minimize_to_tray, on);
}

bool UIAppMediator::saveLogsToFile(const QUrl& fileUrl)
{
    const QString path = fileUrl.toLocalFile();
    if (path.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot save the logs to %s: not a local file.",
                                          qUtf8Printable(fileUrl.toString()));
        return false;
    }
    if (!GlobalLogger::Instance()->saveLogs(path))
        return false;
    Platform::FilesHelper::ShowFileInFolder(path);
    return true;
}

void UIAppMediator::RegisterType()
{
    qmlRegisterUncreatableType<UIAppMediator>("Velmor.Enums", 1, 0, "UIAppMediator",
                                              QStringLiteral("Error - class UIAppMediator uncreatable"));
}

} // namespace UIMediators
