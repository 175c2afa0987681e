#pragma once

#include <QSortFilterProxyModel>

namespace UIModels {

// The rows of UINotificationsModel that are to be shown, newest first; rows of the same date keep
// the order of the source model, so the two update notices lead.
class UINotificationsSortFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit UINotificationsSortFilterModel(QObject* parent = nullptr);

    // Marks every row the proxy shows as seen; rows filtered out keep their flag.
    Q_INVOKABLE void markAsSeen();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

} // namespace UIModels
