#pragma once

#include <QAbstractListModel>
#include <QSortFilterProxyModel>

namespace UIModels {

// The news list behind the notifications drawer.
//
// The news feed and the built-in update rows are not part of this build: the list is empty.
class UINotificationsModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Type { Text = 0, Image = 1, AppUpdate = 2, FwUpdate = 3 };
    Q_ENUM(Type)

    enum Roles {
        typeRole = Qt::UserRole + 1,
        dataRole,
        linkRole,
        dateRole,
        isSeenRole,
        isHiddenRole,
        isVisibleRole,
    };

    explicit UINotificationsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Uncreatable QML type "UINotificationsModel" in "Velmor.Enums" 1.0.
    static void RegisterType();

signals:
    void visiblesChanged();
};

// The visible rows of UINotificationsModel, newest first.
class UINotificationsSortFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit UINotificationsSortFilterModel(QObject* parent = nullptr);

    // Marks every row the proxy holds as seen.
    Q_INVOKABLE void markAsSeen();
};

} // namespace UIModels
