#pragma once

// Takes the addresses that the application hands to the desktop (web links, folders to show),
// installed with QDesktopServices::setUrlHandler(scheme, &catcher, "open"), so that a test sees
// them and nothing opens on the machine. Header-only, with a Q_OBJECT: list it among the test's
// sources so that it is moc'ed.

#include <QList>
#include <QObject>
#include <QUrl>

namespace TestSupport {

class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }
};

} // namespace TestSupport
