#include "ui_mediators/UINotificationsMediator.h"

#include "core/AppDataFolder.h"
#include "core/GlobalLogger.h"
#include "core/SafeFile.h"
#include "platform/NetworkUpdater.h"
#include "ui_mediators/UIAppMediator.h"
#include "ui_models/UINotificationsModel.h"
#include "ui_models/UINotificationsSortFilterModel.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace UIMediators {

namespace {

// A document that is not even an empty notifications list: something else wrote the file, or it
// was cut short. It must not be replaced by a list that only looks complete.
bool IsUnreadableCache(const QByteArray& bytes)
{
    if (bytes.trimmed().isEmpty())
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    return !document.isObject() || !document.object().value(QLatin1String("notifications")).isArray();
}

} // namespace

UINotificationsMediator::UINotificationsMediator(Platform::NetworkUpdater& updater, UIAppMediator& appMediator,
                                                 QObject* parent)
    : QObject(parent)
    , m_updater(updater)
    , m_appMediator(appMediator)
    , m_model(new UIModels::UINotificationsModel(this))
    , m_proxy(new UIModels::UINotificationsSortFilterModel(this))
{
    loadCache();
    connect(&m_updater, &Platform::NetworkUpdater::sigNotificationsUpdated, this,
            &UINotificationsMediator::onNotificationsUpdated);
    onNotificationsUpdated();
    connect(&m_appMediator, &UIAppMediator::updateChanged, this, &UINotificationsMediator::onAppUpdateChanged);
    onAppUpdateChanged();
    m_proxy->setSourceModel(m_model);
    connect(m_model, &UIModels::UINotificationsModel::visiblesChanged, this,
            &UINotificationsMediator::newsCountChanged);
}

UINotificationsMediator::~UINotificationsMediator()
{
    saveCache();
}

void UINotificationsMediator::loadCache()
{
    const QString path = Notification::GetFileLocation();
    QFile file(path);
    QList<Notification> list;
    QString error;
    bool missing = false;
    if (!OpenRegularFile(file, error, &missing)) {
        if (missing) {
            GlobalLogger::Instance()->message(QtDebugMsg, "No notifications cache yet at %s", qUtf8Printable(path));
        } else {
            GlobalLogger::Instance()->message(QtWarningMsg, "Cannot read the notifications cache: %s",
                                              qUtf8Printable(error));
            m_keepCache = true;
        }
    } else {
        const QByteArray bytes = file.readAll();
        // An empty file is the cache of an empty drawer.
        if (!bytes.trimmed().isEmpty())
            list = Notification::FromJson(bytes, true);
        if (list.isEmpty() && IsUnreadableCache(bytes)) {
            GlobalLogger::Instance()->message(
                QtWarningMsg, "The notifications cache %s is damaged; it is kept until a new feed arrives",
                qUtf8Printable(path));
            m_keepCache = true;
        }
    }
    processNotifications(std::move(list));
}

void UINotificationsMediator::saveCache() const
{
    const QString path = Notification::GetFileLocation();
    if (m_keepCache) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Leaving the unreadable notifications cache %s as it is",
                                          qUtf8Printable(path));
        return;
    }
    // Written aside and renamed over the old file, so that a failed write never leaves half a list.
    QString error;
    if (!WriteFileWhole(path, Notification::ToJson(m_model->getNotifications()), error, AppDataFolder()))
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot write the notifications cache %s: %s",
                                          qUtf8Printable(path), qUtf8Printable(error));
}

QObject* UINotificationsMediator::getNotificationsModel() const
{
    return m_proxy;
}

int UINotificationsMediator::getNewsCount() const
{
    int count = 0;
    const int rows = m_proxy->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (!m_proxy->data(m_proxy->index(row, 0), UIModels::UINotificationsModel::isSeenRole).toBool())
            ++count;
    }
    return count;
}

void UINotificationsMediator::markAsSeen()
{
    m_proxy->markAsSeen();
    emit newsCountChanged();
}

void UINotificationsMediator::setFwUpdateAvailable(bool available)
{
    m_model->setFwUpdate(available);
    emit newsCountChanged();
}

void UINotificationsMediator::setCurrentDevice(DeviceType type)
{
    m_model->setCurrentDevice(type);
    emit newsCountChanged();
}

void UINotificationsMediator::onNotificationsUpdated()
{
    QList<Notification> list = m_updater.getNotifications();
    // A failed or empty download never clears the drawer.
    if (list.isEmpty())
        return;
    m_keepCache = false;
    processNotifications(std::move(list));
}

void UINotificationsMediator::onAppUpdateChanged()
{
    const UIAppMediator::Status status = m_appMediator.getUpdateStatus();
    m_model->setAppUpdate(status == UIAppMediator::CanDownload || status == UIAppMediator::CanInstall);
    emit newsCountChanged();
}

void UINotificationsMediator::CarryLocalMarks(QList<Notification>& incoming, const QList<Notification>& current)
{
    struct Marks {
        bool seen;
        bool hidden;
    };
    QHash<int, Marks> marks;
    marks.reserve(current.size());
    for (const Notification& record : current) {
        if (!marks.contains(record.id)) // the first record of an id counts
            marks.insert(record.id, Marks{record.seen, record.hidden});
    }
    if (marks.isEmpty())
        return;
    for (Notification& record : incoming) {
        const auto known = marks.constFind(record.id);
        if (known != marks.constEnd()) {
            record.seen = known->seen;
            record.hidden = known->hidden;
        }
    }
}

void UINotificationsMediator::processNotifications(QList<Notification> list)
{
    CarryLocalMarks(list, m_model->getNotifications());
    m_model->setNotifications(std::move(list));
    emit newsCountChanged();
}

} // namespace UIMediators
