#include "ui_models/UINotificationsModel.h"

#include <QTimer>
#include <QtQml/qqml.h>

#include <vector>

namespace UIModels {

namespace {

constexpr int c_date_timer_ms = 10 * 60 * 1000;
constexpr qsizetype c_max_single_removals = 256;

Notification BuiltInRow(const char* text)
{
    Notification row;
    row.type = Notification::Type::text;
    row.content = UINotificationsModel::staticMetaObject.tr(text, nullptr);
    return row;
}

// First position of `run`'s ids as a contiguous run in `list`, or -1. A string search over ids
// (Knuth-Morris-Pratt), linear in the sizes of both lists whatever their contents.
qsizetype FindRun(const QList<Notification>& list, const QList<Notification>& run)
{
    const qsizetype k = run.size();
    if (k == 0)
        return 0;
    // fallback[i]: length of the longest proper prefix of run[0..i] that is also its suffix.
    std::vector<qsizetype> fallback(size_t(k), 0);
    for (qsizetype i = 1, j = 0; i < k; ++i) {
        while (j > 0 && run[i].id != run[j].id)
            j = fallback[size_t(j - 1)];
        if (run[i].id == run[j].id)
            ++j;
        fallback[size_t(i)] = j;
    }
    for (qsizetype i = 0, j = 0; i < list.size(); ++i) {
        while (j > 0 && list[i].id != run[j].id)
            j = fallback[size_t(j - 1)];
        if (list[i].id == run[j].id)
            ++j;
        if (j == k)
            return i - k + 1;
    }
    return -1;
}

} // namespace

UINotificationsModel::UINotificationsModel(QObject* parent)
    : QAbstractListModel(parent)
    , m_updates{BuiltInRow(QT_TR_NOOP("A firmware update is required for your headphones.")),
                BuiltInRow(QT_TR_NOOP("A new version of the Velmor App is available."))}
    , m_updatesAvailable(m_updates.size(), false)
    , m_dateTimer(new QTimer(this))
    , m_currentDate(QDate::currentDate())
    , m_updatesCount(int(m_updates.size()))
    , m_dateSource(&QDate::currentDate)
{
    m_types = {FwUpdate, AppUpdate};
    m_dateTimer->setInterval(c_date_timer_ms);
    connect(m_dateTimer, &QTimer::timeout, this, &UINotificationsModel::updateCurrentDate);
    m_dateTimer->start();
}

int UINotificationsModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_updatesCount + int(m_notifications.size());
}

bool UINotificationsModel::isRowValid(const QModelIndex& index) const
{
    return index.model() == this && index.row() >= 0 && index.column() == 0 && index.row() < rowCount();
}

Notification& UINotificationsModel::recordAt(int row)
{
    return row < m_updatesCount ? m_updates[row] : m_notifications[row - m_updatesCount];
}

const Notification& UINotificationsModel::recordAt(int row) const
{
    return row < m_updatesCount ? m_updates[row] : m_notifications[row - m_updatesCount];
}

bool UINotificationsModel::isVisible(int row) const
{
    const Notification& record = recordAt(row);
    if (record.hidden)
        return false;
    if (!record.devices.isEmpty() && !record.devices.contains(m_currentDevice))
        return false;
    if (row < m_updatesCount)
        return m_updatesAvailable[row];
    if (record.createdAt.isValid() && record.createdAt > m_currentDate)
        return false;
    if (record.expiresAt.isValid() && record.expiresAt < m_currentDate)
        return false;
    return true;
}

QVariant UINotificationsModel::data(const QModelIndex& index, int role) const
{
    if (!isRowValid(index))
        return {};
    const int row = index.row();
    const Notification& record = recordAt(row);
    switch (role) {
    case typeRole: return QVariant::fromValue(uint(m_types[row]));
    case dataRole: return record.content;
    case linkRole: return record.link;
    case dateRole:
        if (row >= m_updatesCount && record.createdAt.isValid())
            return record.createdAt;
        return m_currentDate;
    case isSeenRole: return record.seen;
    case isHiddenRole: return record.hidden;
    case isVisibleRole: return isVisible(row);
    default: return {};
    }
}

bool UINotificationsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!isRowValid(index))
        return false;
    Notification& record = recordAt(index.row());
    switch (role) {
    case isSeenRole: {
        const bool seen = value.toBool();
        if (record.seen != seen) {
            record.seen = seen;
            emit dataChanged(index, index, {isSeenRole});
        }
        return true;
    }
    case isHiddenRole:
        record.hidden = value.toBool();
        emit dataChanged(index, index, {isHiddenRole, isVisibleRole});
        emit visiblesChanged();
        return true;
    default: return false;
    }
}

QHash<int, QByteArray> UINotificationsModel::roleNames() const
{
    return {
        {typeRole, QByteArrayLiteral("typeRole")},           {dataRole, QByteArrayLiteral("dataRole")},
        {linkRole, QByteArrayLiteral("linkRole")},           {dateRole, QByteArrayLiteral("dateRole")},
        {isSeenRole, QByteArrayLiteral("isSeenRole")},       {isHiddenRole, QByteArrayLiteral("isHiddenRole")},
        {isVisibleRole, QByteArrayLiteral("isVisibleRole")},
    };
}

void UINotificationsModel::rebuildTypes()
{
    m_types.resize(m_updatesCount);
    m_types.reserve(m_updatesCount + m_notifications.size());
    for (const Notification& record : std::as_const(m_notifications))
        m_types.append(record.type == Notification::Type::image ? Image : Text);
}

void UINotificationsModel::announceDownloadedRows(const QList<int>& roles)
{
    if (m_notifications.isEmpty())
        return;
    emit dataChanged(index(m_updatesCount, 0), index(rowCount() - 1, 0), roles);
}

void UINotificationsModel::setNotifications(QList<Notification> list)
{
    // Old rows whose id the new list lacks leave one by one, from the back, so that every other
    // row keeps its place.
    QSet<int> newIds;
    newIds.reserve(list.size());
    for (const Notification& record : std::as_const(list))
        newIds.insert(record.id);
    // Each single removal costs the views a pass over the rows; past a few hundred the list is
    // replaced whole instead, with the same result.
    qsizetype leaving = 0;
    for (const Notification& record : std::as_const(m_notifications))
        leaving += newIds.contains(record.id) ? 0 : 1;
    if (leaving > c_max_single_removals) {
        beginResetModel();
        m_notifications = std::move(list);
        rebuildTypes();
        endResetModel();
        return;
    }
    for (qsizetype i = m_notifications.size() - 1; leaving > 0 && i >= 0; --i) {
        if (newIds.contains(m_notifications[i].id))
            continue;
        const int row = getRow(int(i));
        beginRemoveRows(QModelIndex(), row, row);
        m_notifications.removeAt(i);
        m_types.removeAt(row);
        endRemoveRows();
        --leaving;
    }

    // The rows left are kept; when the new list holds them as one run, the new records can be
    // inserted around it.
    const int k = int(m_notifications.size());
    const int n = int(list.size());
    const qsizetype p = (k == 0 && n > 0) ? 0 : FindRun(list, m_notifications);
    const int first = m_updatesCount;

    if (n == 0 || p < 0) {
        beginResetModel();
        m_notifications = std::move(list);
        rebuildTypes();
        endResetModel();
    } else if (p == 0) {
        // Kept rows first: new rows go to the tail.
        if (n == k) {
            m_notifications = std::move(list);
            rebuildTypes();
        } else {
            beginInsertRows(QModelIndex(), first + k, first + n - 1);
            m_notifications = std::move(list);
            rebuildTypes();
            endInsertRows();
        }
        // The same ids may carry new content, dates or flags.
        if (k > 0)
            emit dataChanged(index(first, 0), index(first + k - 1, 0), {});
    } else if (p + k == n) {
        beginInsertRows(QModelIndex(), first, first + int(p) - 1);
        m_notifications = std::move(list);
        rebuildTypes();
        endInsertRows();
        emit dataChanged(index(first + int(p), 0), index(first + n - 1, 0), {});
    } else {
        const QList<Notification> tail = list.mid(p + k);
        list.resize(p + k);
        beginInsertRows(QModelIndex(), first, first + int(p) - 1);
        m_notifications = std::move(list);
        rebuildTypes();
        endInsertRows();
        emit dataChanged(index(first + int(p), 0), index(first + int(p) + k - 1, 0), {});
        beginInsertRows(QModelIndex(), first + int(p) + k, first + n - 1);
        m_notifications.append(tail);
        rebuildTypes();
        endInsertRows();
    }
}

void UINotificationsModel::setCurrentDevice(DeviceType type)
{
    m_currentDevice = type;
    announceDownloadedRows({isVisibleRole});
}

void UINotificationsModel::setUpdateAvailableImpl(UpdateId id, bool available)
{
    if (m_updatesAvailable[id] == available)
        return;
    m_updatesAvailable[id] = available;
    const QModelIndex row = index(id, 0);
    emit dataChanged(row, row, {isVisibleRole});
}

void UINotificationsModel::setDateSource(std::function<QDate()> source)
{
    m_dateSource = std::move(source);
}

void UINotificationsModel::updateCurrentDate()
{
    const QDate today = m_dateSource();
    if (today == m_currentDate)
        return;
    m_currentDate = today;
    // The built-in rows are dated today as well, so they are announced with the rest.
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {dateRole, isVisibleRole});
    emit visiblesChanged();
}

void UINotificationsModel::RegisterType()
{
    qmlRegisterUncreatableType<UINotificationsModel>("Velmor.Enums", 1, 0, "UINotificationsModel",
                                                     QStringLiteral("Error - class UINotificationsModel uncreatable"));
}

} // namespace UIModels
