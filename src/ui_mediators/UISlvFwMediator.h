#pragma once

#include <QObject>
#include <QString>

namespace UIMediators {

// The serial-port device's firmware version for its screen. The device has no firmware
// installation; the enums exist for QML only.
class UISlvFwMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString fwVer READ getFwVer NOTIFY modelReady)

public:
    enum Status { NotStarted = 0 };
    Q_ENUM(Status)
    enum StartStatus { Started = 0, StartFailed = 1 };
    Q_ENUM(StartStatus)

    explicit UISlvFwMediator(QObject* parent);

    QString getFwVer() const { return m_fwVer; }

    // Uncreatable QML type "UISlvFwMediator" in "Velmor.Enums" 1.0; start-up does not call it.
    static void RegisterType();

signals:
    void modelReady();

private:
    QString m_fwVer;
};

} // namespace UIMediators
