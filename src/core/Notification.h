#pragma once

#include "core/DeviceType.h"
#include "core/Enumer.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QSet>
#include <QString>

// One item of the news feed: a text or an image, an optional link and date window, the device
// types it is meant for, and the user's local flags. The same JSON form serves the online feed
// and the local cache "notifications.json".
class Notification {
public:
    enum class Type : uint32_t {
        image = 0,
        text = 1,
    };

    QString content;          // the text, or the image URL
    QString link;             // empty = none
    QSet<DeviceType> devices; // empty = every device
    QDate createdAt;          // first day shown; null = no lower bound
    QDate expiresAt;          // last day shown; null = no upper bound
    Type type = Type::image;
    int id = 0;
    bool seen = false;
    bool hidden = false;

    // Path of the local cache; its folder is created when missing.
    static QString GetFileLocation();
    // Never fails: a bad document gives an empty list (with a log line), bad items are skipped.
    // `readLocalFlags` is true for the local cache and false for the online feed.
    static QList<Notification> FromJson(const QByteArray& json, bool readLocalFlags);
    static QByteArray ToJson(const QList<Notification>& notifications);

    friend bool operator==(const Notification& a, const Notification& b)
    {
        return a.content == b.content && a.link == b.link && a.devices == b.devices && a.createdAt == b.createdAt &&
               a.expiresAt == b.expiresAt && a.type == b.type && a.id == b.id && a.seen == b.seen &&
               a.hidden == b.hidden;
    }
    friend bool operator!=(const Notification& a, const Notification& b) { return !(a == b); }
};
ENUMER_DECLARE_METADATA(Notification::Type);
