#include "platform_gui/posix/PlasmaBackground.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "platform_gui/posix/DesktopCall.h"

namespace velluma {
namespace {

constexpr int kStretch = 0, kCentred = 6, kTile = 3, kPlasmaDefaultFill = 2;

// A JavaScript literal for any JSON value; JSON text is valid JavaScript.
QString literal(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Every desktop's wallpaper plugin and the picture settings of the picture plugin, one JSON
// array printed on a line of its own.
const char* const kReadScript = R"js(
var saved = [];
var all = desktops();
for (var i = 0; i < all.length; ++i) {
    var d = all[i];
    d.currentConfigGroup = ["Wallpaper", "org.kde.image", "General"];
    saved.push({id: d.id, screen: d.screen, plugin: String(d.wallpaperPlugin),
                image: String(d.readConfig("Image", "")),
                fill: Number(d.readConfig("FillMode", %1))});
}
print("\n" + JSON.stringify(saved) + "\n");
)js";

const char* const kShowScript = R"js(
var image = %1, fill = %2, plain = %3;
var all = desktops();
for (var i = 0; i < all.length; ++i) {
    var d = all[i];
    if (plain) {
        d.wallpaperPlugin = "org.kde.color";
        continue;
    }
    d.wallpaperPlugin = "org.kde.image";
    d.currentConfigGroup = ["Wallpaper", "org.kde.image", "General"];
    d.writeConfig("Image", image);
    d.writeConfig("FillMode", fill);
}
)js";

const char* const kRestoreScript = R"js(
var saved = %1;
for (var i = 0; i < saved.length; ++i) {
    var s = saved[i];
    var d = desktopById(s.id);
    if (!d) continue;
    d.currentConfigGroup = ["Wallpaper", "org.kde.image", "General"];
    d.writeConfig("Image", s.image);
    d.writeConfig("FillMode", s.fill);
    d.wallpaperPlugin = s.plugin;
}
)js";

std::string localPath(const QString& image) {
    const QUrl url(image);
    return url.isLocalFile() ? url.toLocalFile().toStdString() : image.toStdString();
}

bool inside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() + 1 &&
           path.compare(0, folder.size() + 1, folder + "/") == 0;
}

}  // namespace

PlasmaBackground::PlasmaBackground(std::string ownFolder, QString service)
    : m_ownFolder(std::move(ownFolder)), m_service(std::move(service)) {}

int PlasmaBackground::fillModeFor(Placement placement) {
    switch (placement) {
        case Placement::Centre:
            return kCentred;
        case Placement::Tile:
            return kTile;
        default:
            return kStretch;  // Plasma has no spanning: each screen shows the whole picture
    }
}

QString PlasmaBackground::evaluate(const QString& script) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) throw DesktopError("The session bus of KDE Plasma is not available");
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, QStringLiteral("/PlasmaShell"),
                                                       QStringLiteral("org.kde.PlasmaShell"),
                                                       QStringLiteral("evaluateScript"));
    call << script;
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(kDesktopTimeout.count()));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString error = reply.errorName();
        if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
            error == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
            throw DesktopTimeout("KDE Plasma did not answer within 2 seconds");
        throw DesktopError("KDE Plasma refused the background: " +
                           reply.errorMessage().toStdString());
    }
    if (reply.type() != QDBusMessage::ReplyMessage) throw DesktopError("KDE Plasma gave no answer");
    return reply.arguments().value(0).toString();
}

DesktopState PlasmaBackground::read() {
    const QString output = evaluate(QString::fromLatin1(kReadScript).arg(kPlasmaDefaultFill));
    // The shell's own warnings may come before our line.
    QJsonArray desktops;
    bool found = false;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('['))) continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8());
        if (doc.isArray()) {
            desktops = doc.array();
            found = true;
        }
    }
    if (!found) throw DesktopError("KDE Plasma did not tell its background");

    DesktopState state;
    state.state = QJsonDocument(desktops).toJson(QJsonDocument::Compact).toStdString();
    state.tileWallpaper = "0";
    // The classic values name the first screen's desktop.
    QJsonObject first;
    int firstScreen = -1;
    for (const auto& v : desktops) {
        const QJsonObject d = v.toObject();
        const int screen = d.value(QLatin1String("screen")).toInt(-1);
        if (first.isEmpty() || (screen >= 0 && (firstScreen < 0 || screen < firstScreen))) {
            first = d;
            firstScreen = screen;
        }
        if (inside(localPath(d.value(QLatin1String("image")).toString()), m_ownFolder) &&
            d.value(QLatin1String("plugin")).toString() == QLatin1String("org.kde.image"))
            state.ownPicture = true;
    }
    const QString plugin = first.value(QLatin1String("plugin")).toString();
    const QString image = first.value(QLatin1String("image")).toString();
    if (plugin == QLatin1String("org.kde.image")) {
        state.wallpaper = image.isEmpty() ? plugin.toStdString() : localPath(image);
        if (first.value(QLatin1String("fill")).toInt() == kTile) state.tileWallpaper = "1";
    } else if (plugin != QLatin1String("org.kde.color")) {
        state.wallpaper = plugin.toStdString();  // a slide show or another plugin
    }
    return state;
}

void PlasmaBackground::show(const std::string& file, Placement placement) {
    const QString image =
        QUrl::fromLocalFile(QString::fromStdString(file)).toString(QUrl::FullyEncoded);
    evaluate(
        QString::fromLatin1(kShowScript)
            .arg(literal(image), QString::number(fillModeFor(placement)),
                 placement == Placement::None ? QStringLiteral("true") : QStringLiteral("false")));
}

void PlasmaBackground::restore(const std::string& state) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(state));
    if (!doc.isArray()) throw DesktopError("The saved KDE Plasma background is damaged");
    evaluate(QString::fromLatin1(kRestoreScript)
                 .arg(QString::fromUtf8(doc.toJson(QJsonDocument::Compact))));
}

}  // namespace velluma
