#include "ui_models/UINotificationsModel.h"

#include <QtQml/qqml.h>

namespace UIModels {

UINotificationsModel::UINotificationsModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int UINotificationsModel::rowCount(const QModelIndex&) const
{
    return 0;
}

QVariant UINotificationsModel::data(const QModelIndex&, int) const
{
    return {};
}

QHash<int, QByteArray> UINotificationsModel::roleNames() const
{
    static const QHash<int, QByteArray> names = {
        {typeRole, QByteArrayLiteral("typeRole")},       {dataRole, QByteArrayLiteral("dataRole")},
        {linkRole, QByteArrayLiteral("linkRole")},       {dateRole, QByteArrayLiteral("dateRole")},
        {isSeenRole, QByteArrayLiteral("isSeenRole")},   {isHiddenRole, QByteArrayLiteral("isHiddenRole")},
        {isVisibleRole, QByteArrayLiteral("isVisibleRole")},
    };
    return names;
}

void UINotificationsModel::RegisterType()
{
    qmlRegisterUncreatableType<UINotificationsModel>("Velmor.Enums", 1, 0, "UINotificationsModel",
                                                     QStringLiteral("Error - class UINotificationsModel uncreatable"));
}

UINotificationsSortFilterModel::UINotificationsSortFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(UINotificationsModel::dateRole);
    sort(0, Qt::DescendingOrder);
}

void UINotificationsSortFilterModel::markAsSeen()
{
    for (int row = 0; row < rowCount(); ++row)
        setData(index(row, 0), true, UINotificationsModel::isSeenRole);
}

} // namespace UIModels
