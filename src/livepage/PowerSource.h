#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace velluma {

/// Whether the machine runs on battery, as UPower tells on the system bus. Without UPower
/// (or without a system bus) it reads as mains power, and nothing changes.
class PowerSource : public QObject {
    Q_OBJECT
public:
    explicit PowerSource(QDBusConnection bus = QDBusConnection::systemBus(),
                         QObject* parent = nullptr);

    bool onBattery() const { return m_onBattery; }

Q_SIGNALS:
    void onBatteryChanged(bool onBattery);

private Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);

private:
    void ask();
    void set(bool onBattery);

    QDBusConnection m_bus;
    bool m_onBattery = false;
};

}  // namespace velluma
