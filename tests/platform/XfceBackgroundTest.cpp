#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <optional>

#include "DesktopServices.h"
#include "platform_gui/posix/XfceBackground.h"

namespace velluma {
namespace {

using namespace Qt::Literals::StringLiterals;

// xfconfd itself, started by the private bus on the first call.
QDBusMessage xfconf(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.xfce.Xfconf"_s, u"/org/xfce/Xfconf"_s,
                                                       u"org.xfce.Xfconf"_s, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
}

void put(const QString& channel, const QString& property, const QVariant& value) {
    const QDBusMessage reply =
        xfconf(u"SetProperty"_s, {channel, property, QVariant::fromValue(QDBusVariant(value))});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << "xfconfd: " << reply.errorMessage().toStdString()
        << " (install xfconf with scripts/install-deps.sh)";
}

std::optional<QVariant> get(const QString& property) {
    const QDBusMessage reply = xfconf(u"GetProperty"_s, {u"xfce4-desktop"_s, property});
    if (reply.type() != QDBusMessage::ReplyMessage) return std::nullopt;
    return qdbus_cast<QDBusVariant>(reply.arguments().value(0)).variant();
}

class XfceBackgroundTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& channel : {u"xfce4-desktop"_s, u"xfwm4"_s})
            xfconf(u"ResetProperty"_s, {channel, u"/"_s, true});
    }
    const QString a0 = u"/backdrop/screen0/monitorHDMI-1/workspace0"_s;
    const QString a1 = u"/backdrop/screen0/monitorHDMI-1/workspace1"_s;
    const QString b0 = u"/backdrop/screen0/monitorDP-2/workspace0"_s;
};

TEST_F(XfceBackgroundTest, ShowsThePictureOnEveryMonitorAndWorkspaceWithTheStyleOfItsPlacement) {
    for (const QString& base : {a0, a1, b0}) {
        put(u"xfce4-desktop"_s, base + u"/last-image"_s, u"/usr/share/backgrounds/user.png"_s);
        put(u"xfce4-desktop"_s, base + u"/image-style"_s, 5);
    }
    const std::pair<Placement, int> cases[] = {{Placement::Centre, 1},
                                               {Placement::Tile, 2},
                                               {Placement::Stretch, 3},
                                               {Placement::Span, 6}};
    XfceBackground xfce("/srv/own", {});
    for (const auto& [placement, style] : cases) {
        xfce.show("/srv/own/desktop-4.bmp", placement);
        for (const QString& base : {a0, a1, b0}) {
            EXPECT_EQ(get(base + u"/last-image"_s)->toString(), u"/srv/own/desktop-4.bmp"_s);
            EXPECT_EQ(get(base + u"/image-style"_s)->toInt(), style);
        }
    }
    xfce.show({}, Placement::None);
    EXPECT_EQ(get(a0 + u"/image-style"_s)->toInt(), 0);
    EXPECT_EQ(get(a0 + u"/last-image"_s)->toString(), u"/srv/own/desktop-4.bmp"_s);
}

TEST_F(XfceBackgroundTest, RestorePutsBackEveryValueAndRemovesTheOnesItAdded) {
    put(u"xfce4-desktop"_s, a0 + u"/last-image"_s, u"/usr/share/backgrounds/user.png"_s);
    put(u"xfce4-desktop"_s, a0 + u"/image-style"_s, 2);
    put(u"xfce4-desktop"_s, a1 + u"/image-style"_s, 4);  // no picture of its own yet
    XfceBackground xfce("/srv/own", {});

    const DesktopState user = xfce.read();
    EXPECT_EQ(user.wallpaper, "/usr/share/backgrounds/user.png");
    EXPECT_EQ(user.tileWallpaper, "1");
    xfce.show("/srv/own/desktop-1.bmp", Placement::Stretch);
    EXPECT_TRUE(xfce.read().ownPicture);
    xfce.restore(user.state);

    EXPECT_EQ(get(a0 + u"/last-image"_s)->toString(), u"/usr/share/backgrounds/user.png"_s);
    EXPECT_EQ(get(a0 + u"/image-style"_s)->toInt(), 2);
    EXPECT_EQ(get(a1 + u"/image-style"_s)->toInt(), 4);
    EXPECT_FALSE(get(a1 + u"/last-image"_s).has_value());
}

TEST_F(XfceBackgroundTest, ADesktopWithoutBackdropsGetsOneForEachMonitorAndWorkspace) {
    put(u"xfwm4"_s, u"/general/workspace_count"_s, 2);
    XfceBackground xfce("/srv/own", {"HDMI-1", "DP-2"});
    const DesktopState user = xfce.read();
    xfce.show("/srv/own/desktop-1.bmp", Placement::Centre);
    for (const QString& base : {a0, a1, b0, u"/backdrop/screen0/monitorDP-2/workspace1"_s})
        EXPECT_EQ(get(base + u"/image-style"_s).value_or(QVariant()).toInt(), 1)
            << base.toStdString();
    xfce.restore(user.state);
    EXPECT_FALSE(get(a0 + u"/image-style"_s).has_value());
    EXPECT_FALSE(get(b0 + u"/last-image"_s).has_value());
}

}  // namespace
}  // namespace velluma
