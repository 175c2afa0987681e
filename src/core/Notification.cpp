#include "core/Notification.h"

#include "core/AppDataFolder.h"
#include "core/GlobalLogger.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>

ENUMER_DEFINE_METADATA(Notification::Type, data)
{
    data.appendInternal(uint32_t(Notification::Type::image), "image");
    data.appendInternal(uint32_t(Notification::Type::text), "text");
}

namespace {

const QLatin1String c_key_notifications("notifications");
const QLatin1String c_key_id("id");
const QLatin1String c_key_type("type");
const QLatin1String c_key_text("text");
const QLatin1String c_key_image("imageUrl");
const QLatin1String c_key_link("link");
const QLatin1String c_key_created_at("createdAt");
const QLatin1String c_key_expires_at("expiresAt");
const QLatin1String c_key_devices("targetModels");
const QLatin1String c_key_seen("seen");
const QLatin1String c_key_hidden("hidden");

const QString& DateFormat()
{
    static const QString format = QStringLiteral("yyyy MM dd");
    return format;
}

// The feed names the models in its own way; map them to our code names.
const QString& ReplaceModelName(const QString& name)
{
    static const QHash<QString, QString> replacements{
        {QStringLiteral("Kestrin"), Enumer<DeviceType>::NameOrNull(DeviceType::kestrin)},
        {QStringLiteral("Kestrin2"), Enumer<DeviceType>::NameOrNull(DeviceType::kestrin_2)},
        {QStringLiteral("KestrinANC"), Enumer<DeviceType>::NameOrNull(DeviceType::kestrin_2_anc)},
    };
    const auto it = replacements.constFind(name);
    return it != replacements.constEnd() ? it.value() : name;
}

} // namespace

QString Notification::GetFileLocation()
{
    return AppDataFilePath(QStringLiteral("notifications.json"));
}

QList<Notification> Notification::FromJson(const QByteArray& json, bool readLocalFlags)
{
    QList<Notification> result;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (document.isNull() || !document.isObject()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Reading notifications JSON error %s",
                                          error.errorString().toUtf8().constData());
        return result;
    }
    const QJsonValue list = document.object().value(c_key_notifications);
    if (!list.isArray())
        return result;
    const QJsonArray items = list.toArray();
    result.reserve(items.size());

    for (const QJsonValue value : items) {
        const QJsonObject item = value.toObject();
        Notification notification;
        notification.id = item.value(c_key_id).toInt(0);

        if (!Enumer<Type>::Value(notification.type, item.value(c_key_type).toString()))
            continue;

        const bool isImage = notification.type == Type::image;
        notification.content = item.value(isImage ? c_key_image : c_key_text).toString();
        if (notification.content.isEmpty())
            continue;
        if (isImage && !QUrl(notification.content, QUrl::TolerantMode).isValid())
            continue;

        // Any valid address is kept with its item; the cards offer to open web addresses only.
        notification.link = item.value(c_key_link).toString();
        if (!notification.link.isEmpty() && !QUrl(notification.link, QUrl::TolerantMode).isValid())
            continue;

        notification.createdAt = QDate::fromString(item.value(c_key_created_at).toString(), DateFormat());
        notification.expiresAt = QDate::fromString(item.value(c_key_expires_at).toString(), DateFormat());

        if (readLocalFlags) {
            notification.seen = item.value(c_key_seen).toBool(false);
            notification.hidden = item.value(c_key_hidden).toBool(false);
        }

        const QJsonArray models = item.value(c_key_devices).toArray();
        for (const QJsonValue model : models) {
            DeviceType device = DeviceType::none;
            if (Enumer<DeviceType>::Value(device, ReplaceModelName(model.toString())) && device != DeviceType::none)
                notification.devices.insert(device);
        }

        result.append(std::move(notification));
    }
    return result;
}

QByteArray Notification::ToJson(const QList<Notification>& notifications)
{
    QJsonArray items;
    for (const Notification& notification : notifications) {
        QJsonObject item;
        item.insert(c_key_id, notification.id);
        item.insert(c_key_type, Enumer<Type>::NameOrNull(notification.type));
        item.insert(notification.type == Type::image ? c_key_image : c_key_text, notification.content);
        if (!notification.link.isEmpty())
            item.insert(c_key_link, notification.link);
        if (!notification.devices.isEmpty()) {
            // Sorted, so that the same list always gives the same file.
            QList<DeviceType> devices(notification.devices.cbegin(), notification.devices.cend());
            std::sort(devices.begin(), devices.end());
            QJsonArray models;
            for (DeviceType device : std::as_const(devices))
                models.append(Enumer<DeviceType>::NameOrNull(device));
            item.insert(c_key_devices, models);
        }
        if (notification.createdAt.isValid())
            item.insert(c_key_created_at, notification.createdAt.toString(DateFormat()));
        if (notification.expiresAt.isValid())
            item.insert(c_key_expires_at, notification.expiresAt.toString(DateFormat()));
        if (notification.seen)
            item.insert(c_key_seen, true);
        if (notification.hidden)
            item.insert(c_key_hidden, true);
        items.append(item);
    }
    QJsonObject root;
    root.insert(c_key_notifications, items);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
