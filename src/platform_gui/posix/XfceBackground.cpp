#include "platform_gui/posix/XfceBackground.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>
#include <algorithm>
#include <set>

#include "platform_gui/posix/DesktopCall.h"

namespace velluma {
namespace {

using namespace Qt::Literals::StringLiterals;

QString channel() {
    return u"xfce4-desktop"_s;
}

// A backdrop's picture and placement: its name followed by these.
QString imageSuffix() {
    return u"/last-image"_s;
}
QString styleSuffix() {
    return u"/image-style"_s;
}

constexpr int kNone = 0, kCentred = 1, kTiled = 2, kStretched = 3, kSpanning = 6;
constexpr int kXfwmDefaultWorkspaces = 4;

bool isNotFound(const QDBusMessage& reply) {
    return reply.errorName() == QLatin1String("org.xfce.Xfconf.Error.PropertyNotFound") ||
           reply.errorName() == QLatin1String("org.xfce.Xfconf.Error.ChannelNotFound");
}

// One call to xfconf; an unknown property answers an empty message.
QDBusMessage xfconf(const QString& method, const QVariantList& arguments) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) throw DesktopError("The session bus of Xfce is not available");
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.xfce.Xfconf"),
                                                       QStringLiteral("/org/xfce/Xfconf"),
                                                       QStringLiteral("org.xfce.Xfconf"), method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(kDesktopTimeout.count()));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (isNotFound(reply)) return {};
        const QString error = reply.errorName();
        if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
            error == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
            throw DesktopTimeout("The Xfce settings (xfconf) did not answer within 2 seconds");
        throw DesktopError("The Xfce settings (xfconf) refused the background: " +
                           reply.errorMessage().toStdString());
    }
    return reply;
}

QVariantMap allProperties(const QString& channel, const QString& base) {
    const QDBusMessage reply = xfconf(QStringLiteral("GetAllProperties"), {channel, base});
    return qdbus_cast<QVariantMap>(reply.arguments().value(0));
}

void setProperty(const QString& property, const QVariant& value) {
    xfconf(QStringLiteral("SetProperty"),
           {channel(), property, QVariant::fromValue(QDBusVariant(value))});
}

// Values keep their D-Bus type, so they go back exactly as they were.
QJsonObject typed(const QVariant& value) {
    switch (value.metaType().id()) {
        case QMetaType::Int:
            return {{u"type"_s, u"i"_s}, {u"value"_s, value.toInt()}};
        case QMetaType::UInt:
            return {{u"type"_s, u"u"_s}, {u"value"_s, double(value.toUInt())}};
        case QMetaType::Bool:
            return {{u"type"_s, u"b"_s}, {u"value"_s, value.toBool()}};
        case QMetaType::Double:
            return {{u"type"_s, u"d"_s}, {u"value"_s, value.toDouble()}};
        default:
            return {{u"type"_s, u"s"_s}, {u"value"_s, value.toString()}};
    }
}

QVariant untyped(const QJsonObject& json) {
    const QString type = json.value(QLatin1String("type")).toString();
    const QJsonValue v = json.value(QLatin1String("value"));
    if (type == QLatin1String("i")) return v.toInt();
    if (type == QLatin1String("u")) return uint(v.toDouble());
    if (type == QLatin1String("b")) return v.toBool();
    if (type == QLatin1String("d")) return v.toDouble();
    return v.toString();
}

bool inside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() + 1 &&
           path.compare(0, folder.size() + 1, folder + "/") == 0;
}

}  // namespace

XfceBackground::XfceBackground(std::string ownFolder, std::vector<std::string> monitors)
    : m_ownFolder(std::move(ownFolder)), m_monitors(std::move(monitors)) {}

int XfceBackground::imageStyleFor(Placement placement) {
    switch (placement) {
        case Placement::None:
            return kNone;
        case Placement::Centre:
            return kCentred;
        case Placement::Tile:
            return kTiled;
        case Placement::Stretch:
            return kStretched;
        case Placement::Span:
            return kSpanning;
    }
    return kCentred;
}

// Every monitor and workspace the desktop keeps a background for; for a desktop that has
// kept none yet, each monitor's workspaces as xfdesktop names them.
std::vector<std::string> XfceBackground::backdrops() {
    std::set<std::string> found;
    const QVariantMap all = allProperties(channel(), QStringLiteral("/backdrop"));
    for (auto it = all.begin(); it != all.end(); ++it)
        for (const QString& suffix : {imageSuffix(), styleSuffix()})
            if (it.key().endsWith(suffix))
                found.insert(it.key().chopped(suffix.size()).toStdString());
    if (!found.empty()) return {found.begin(), found.end()};

    int workspaces = kXfwmDefaultWorkspaces;
    const QDBusMessage count =
        xfconf(QStringLiteral("GetProperty"),
               {QStringLiteral("xfwm4"), QStringLiteral("/general/workspace_count")});
    if (!count.arguments().isEmpty()) {
        const int n = qdbus_cast<QDBusVariant>(count.arguments().value(0)).variant().toInt();
        if (n > 0) workspaces = std::min(n, 64);
    }
    std::vector<std::string> made;
    for (const std::string& monitor : m_monitors)
        for (int w = 0; w < workspaces; ++w)
            made.push_back("/backdrop/screen0/monitor" + monitor + "/workspace" +
                           std::to_string(w));
    return made;
}

DesktopState XfceBackground::read() {
    const std::vector<std::string> bases = backdrops();
    const QVariantMap all = allProperties(channel(), QStringLiteral("/backdrop"));
    QJsonArray baseList;
    QJsonObject values;
    DesktopState state;
    state.tileWallpaper = "0";
    for (const std::string& base : bases) {
        baseList.append(QString::fromStdString(base));
        for (const QString& suffix : {imageSuffix(), styleSuffix()}) {
            const QString key = QString::fromStdString(base) + suffix;
            if (all.contains(key)) values.insert(key, typed(all.value(key)));
        }
        const std::string image =
            all.value(QString::fromStdString(base) + imageSuffix()).toString().toStdString();
        if (inside(image, m_ownFolder)) state.ownPicture = true;
    }
    if (!bases.empty()) {
        const QString first = QString::fromStdString(bases.front());
        const int style = all.value(first + styleSuffix(), kStretched).toInt();
        if (style != kNone)
            state.wallpaper = all.value(first + imageSuffix()).toString().toStdString();
        if (style == kTiled && !state.wallpaper.empty()) state.tileWallpaper = "1";
    }
    state.state = QJsonDocument(QJsonObject{{u"backdrops"_s, baseList}, {u"values"_s, values}})
                      .toJson(QJsonDocument::Compact)
                      .toStdString();
    return state;
}

void XfceBackground::show(const std::string& file, Placement placement) {
    const std::vector<std::string> bases = backdrops();
    if (bases.empty()) throw DesktopError("Xfce names no monitor to show the background on");
    for (const std::string& base : bases) {
        const QString b = QString::fromStdString(base);
        if (placement != Placement::None)
            setProperty(b + imageSuffix(), QString::fromStdString(file));
        setProperty(b + styleSuffix(), imageStyleFor(placement));
    }
}

void XfceBackground::restore(const std::string& state) {
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(state)).object();
    const QJsonObject values = json.value(QLatin1String("values")).toObject();
    for (const auto& base : json.value(QLatin1String("backdrops")).toArray())
        for (const QString& suffix : {imageSuffix(), styleSuffix()}) {
            const QString key = base.toString() + suffix;
            if (values.contains(key))
                setProperty(key, untyped(values.value(key).toObject()));
            else  // it was not there before we set it
                xfconf(QStringLiteral("ResetProperty"), {channel(), key, false});
        }
}

}  // namespace velluma
