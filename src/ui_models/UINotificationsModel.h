#pragma once

#include "core/DeviceType.h"
#include "core/Notification.h"

#include <QAbstractListModel>
#include <QDate>
#include <QList>

#include <functional>

class QTimer;

namespace UIModels {

// The news list behind the notifications drawer: two built-in rows (a firmware-update notice and
// an app-update notice) followed by the downloaded notifications.
//
// Every row says whether it is to be shown (isVisibleRole): not dismissed, meant for the current
// device or for all, and inside its date window; the built-in rows only while their update is
// offered. The date is refreshed every 10 minutes, so items appear and expire with the calendar.
//
// A new list is turned into single-row removals and block insertions at the head or the tail
// whenever the change allows it, and a model reset only otherwise, so that the drawer's list can
// animate item by item.
class UINotificationsModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Type { Text = 0, Image = 1, AppUpdate = 2, FwUpdate = 3 };
    Q_ENUM(Type)

    enum Roles {
        typeRole = Qt::UserRole + 1, // Type
        dataRole,                    // the text, or the image URL
        linkRole,
        dateRole,     // the start date, or today when there is none
        isSeenRole,   // writable
        isHiddenRole, // writable: the user dismissed the row
        isVisibleRole,
    };

    // The built-in rows; also their row numbers.
    enum UpdateId { FwUpdateId = 0, AppUpdateId = 1 };

    explicit UINotificationsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    // Replaces the downloaded notifications; rows are matched by id.
    void setNotifications(QList<Notification> list);
    // The downloaded notifications with their flags, without the built-in rows.
    QList<Notification> getNotifications() const { return m_notifications; }

    void setCurrentDevice(DeviceType type);
    void setAppUpdate(bool available) { setUpdateAvailableImpl(AppUpdateId, available); }
    void setFwUpdate(bool available) { setUpdateAvailableImpl(FwUpdateId, available); }
    void setUpdateAvailableImpl(UpdateId id, bool available);

    // The model row of downloaded notification `i`.
    int getRow(int i) const { return i + m_updatesCount; }
    QModelIndex getIndex(int i) const { return index(getRow(i), 0); }

    // Where the current date comes from; the wall clock unless a test sets another.
    void setDateSource(std::function<QDate()> source);

    // Uncreatable QML type "UINotificationsModel" in "Velmor.Enums" 1.0 (for the Type values).
    static void RegisterType();

public slots:
    // Takes today's date; when it is a new day, every downloaded row may change its visibility.
    void updateCurrentDate();

signals:
    // The set of visible rows may have changed without a row being inserted or removed.
    void visiblesChanged();

private:
    bool isRowValid(const QModelIndex& index) const;
    Notification& recordAt(int row);
    const Notification& recordAt(int row) const;
    bool isVisible(int row) const;
    void rebuildTypes();
    void announceDownloadedRows(const QList<int>& roles);

    QList<Notification> m_updates;
    QList<Notification> m_notifications;
    QList<bool> m_updatesAvailable;
    QList<Type> m_types;
    QTimer* m_dateTimer;
    QDate m_currentDate;
    DeviceType m_currentDevice = DeviceType::none;
    int m_updatesCount;
    std::function<QDate()> m_dateSource;
};

} // namespace UIModels
