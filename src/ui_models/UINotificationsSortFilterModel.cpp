#include "ui_models/UINotificationsSortFilterModel.h"

#include "ui_models/UINotificationsModel.h"

#include <QDate>

namespace UIModels {

UINotificationsSortFilterModel::UINotificationsSortFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(UINotificationsModel::dateRole);
    sort(0, Qt::DescendingOrder);
}

bool UINotificationsSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return sourceModel()->index(sourceRow, 0, sourceParent).data(UINotificationsModel::isVisibleRole).toBool();
}

bool UINotificationsSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QDate leftDate = left.data(UINotificationsModel::dateRole).toDate();
    const QDate rightDate = right.data(UINotificationsModel::dateRole).toDate();
    if (leftDate != rightDate)
        return leftDate < rightDate;
    // Sorted descending: the lower source row comes first among equal dates.
    return right.row() < left.row();
}

void UINotificationsSortFilterModel::markAsSeen()
{
    const int rows = rowCount();
    for (int i = 0; i < rows; ++i)
        setData(index(i, 0), QVariant(true), UINotificationsModel::isSeenRole);
}

} // namespace UIModels
