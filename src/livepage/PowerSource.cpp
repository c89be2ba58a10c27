#include "livepage/PowerSource.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace velluma {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr auto kService = "org.freedesktop.UPower"_L1;
constexpr auto kPath = "/org/freedesktop/UPower"_L1;
constexpr auto kProperties = "org.freedesktop.DBus.Properties"_L1;

}  // namespace

PowerSource::PowerSource(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected()) return;
    m_bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    // UPower may start after us, or restart; gone, it counts as mains power.
    auto* watcher = new QDBusServiceWatcher(
        kService, m_bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &PowerSource::ask);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { set(false); });
    ask();
}

void PowerSource::ask() {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    get << kService << QStringLiteral("OnBattery");
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError()) set(reply.value().variant().toBool());
        w->deleteLater();
    });
}

void PowerSource::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated) {
    if (interface != kService) return;
    const auto value = changed.constFind(QStringLiteral("OnBattery"));
    if (value != changed.constEnd())
        set(value->toBool());
    else if (invalidated.contains(QStringLiteral("OnBattery")))
        ask();
}

void PowerSource::set(bool onBattery) {
    if (onBattery == m_onBattery) return;
    m_onBattery = onBattery;
    Q_EMIT onBatteryChanged(onBattery);
}

}  // namespace velluma
