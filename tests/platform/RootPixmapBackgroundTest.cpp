#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QPainter>

#include "DesktopServices.h"
#include "platform_gui/posix/DesktopCall.h"
#include "platform_gui/posix/RootPixmapBackground.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::patternPicture;
using test::rootPixmapProperty;
using test::writeBitmap;

constexpr int kWidth = 320, kHeight = 240;

// The root picture the placement should give, drawn here the plain way.
QImage expected(const QImage& picture, Placement placement) {
    QImage out(kWidth, kHeight, QImage::Format_RGB32);
    out.fill(Qt::black);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int sx = x, sy = y;
            if (placement == Placement::Centre) {
                sx = x - (kWidth - picture.width()) / 2;
                sy = y - (kHeight - picture.height()) / 2;
            } else if (placement == Placement::Tile) {
                sx = x % picture.width();
                sy = y % picture.height();
            }
            if (sx >= 0 && sy >= 0 && sx < picture.width() && sy < picture.height())
                out.setPixel(x, y, picture.pixel(sx, sy));
        }
    return out;
}

class RootPixmapBackgroundTest : public ::testing::Test {
protected:
    test::XServer x{kWidth, kHeight};
    test::TempFolder own;
    QImage root() { return RootPixmapBackground::rootPicture(x.display()); }
};

TEST_F(RootPixmapBackgroundTest, DrawsThePictureByItsPlacementAndPublishesIt) {
    ASSERT_FALSE(x.display().empty());
    const QImage desktopSized = patternPicture(kWidth, kHeight, 1);
    const QImage small = patternPicture(70, 50, 2);
    const struct {
        QImage picture;
        Placement placement;
    } cases[] = {
        {desktopSized, Placement::Stretch}, {small, Placement::Centre}, {small, Placement::Tile}};
    RootPixmapBackground background(x.display(), own.path());
    for (const auto& c : cases) {
        background.show(writeBitmap(own.file("wallpaper.bmp"), c.picture), c.placement);
        EXPECT_TRUE(root() == expected(c.picture, c.placement)) << int(c.placement);
        const std::uint32_t pixmap = rootPixmapProperty(x.display(), "_XROOTPMAP_ID");
        EXPECT_NE(pixmap, 0u);
        EXPECT_EQ(rootPixmapProperty(x.display(), "ESETROOT_PMAP_ID"), pixmap);
    }
}

TEST_F(RootPixmapBackgroundTest, EachPictureFreesThePreviousOne) {
    ASSERT_FALSE(x.display().empty());
    RootPixmapBackground background(x.display(), own.path());
    const std::string file = writeBitmap(own.file("wallpaper.bmp"), patternPicture(40, 30, 3));
    background.show(file, Placement::Tile);
    const std::uint32_t first = rootPixmapProperty(x.display(), "_XROOTPMAP_ID");
    background.show(file, Placement::Centre);
    EXPECT_FALSE(test::pixmapExists(x.display(), first));
    EXPECT_TRUE(test::pixmapExists(x.display(), rootPixmapProperty(x.display(), "_XROOTPMAP_ID")));
}

TEST_F(RootPixmapBackgroundTest, RestorePutsBackAnotherProgramsPixmapAndFreesOurs) {
    ASSERT_FALSE(x.display().empty());
    const QImage users = patternPicture(kWidth, kHeight, 9);
    const std::uint32_t foreign = test::setForeignRootPixmap(x.display(), users);
    RootPixmapBackground background(x.display(), own.path());

    const DesktopState user = background.read();
    EXPECT_FALSE(user.ownPicture);
    EXPECT_EQ(user.wallpaper, own.file("desktop-before.bmp"));
    EXPECT_TRUE(
        QImage(QString::fromStdString(user.wallpaper)).convertToFormat(QImage::Format_RGB32) ==
        users);

    background.show(writeBitmap(own.file("wallpaper.bmp"), patternPicture(30, 30, 4)),
                    Placement::Tile);
    const std::uint32_t ours = rootPixmapProperty(x.display(), "_XROOTPMAP_ID");
    EXPECT_TRUE(RootPixmapBackground(x.display(), own.path()).read().ownPicture);
    background.restore(user.state);

    EXPECT_EQ(rootPixmapProperty(x.display(), "_XROOTPMAP_ID"), foreign);
    EXPECT_EQ(rootPixmapProperty(x.display(), "ESETROOT_PMAP_ID"), foreign);
    EXPECT_TRUE(root() == users);
    EXPECT_FALSE(test::pixmapExists(x.display(), ours));
    EXPECT_FALSE(RootPixmapBackground(x.display(), own.path()).read().ownPicture);
}

TEST_F(RootPixmapBackgroundTest, ABackgroundThatIsGoneComesBackFromItsCopy) {
    ASSERT_FALSE(x.display().empty());
    const QImage users = patternPicture(kWidth, kHeight, 5);
    const std::uint32_t foreign = test::setForeignRootPixmap(x.display(), users);
    RootPixmapBackground background(x.display(), own.path());
    const DesktopState user = background.read();
    background.show(writeBitmap(own.file("wallpaper.bmp"), patternPicture(30, 30, 6)),
                    Placement::Centre);
    {
        xcb_connection_t* c = xcb_connect(x.display().c_str(), nullptr);
        xcb_kill_client(c, foreign);  // its owner is gone
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        xcb_disconnect(c);
    }
    background.restore(user.state);
    EXPECT_TRUE(root() == users);
}

TEST_F(RootPixmapBackgroundTest, NoPictureAndNoEarlierPixmap) {
    ASSERT_FALSE(x.display().empty());
    RootPixmapBackground background(x.display(), own.path());
    const DesktopState user = background.read();
    EXPECT_EQ(user.wallpaper, "");
    background.show(writeBitmap(own.file("wallpaper.bmp"), patternPicture(30, 30, 7)),
                    Placement::Tile);
    const std::uint32_t ours = rootPixmapProperty(x.display(), "_XROOTPMAP_ID");
    background.show({}, Placement::None);  // the plain colour
    EXPECT_EQ(rootPixmapProperty(x.display(), "_XROOTPMAP_ID"), 0u);
    EXPECT_FALSE(test::pixmapExists(x.display(), ours));

    background.show(writeBitmap(own.file("wallpaper.bmp"), patternPicture(30, 30, 8)),
                    Placement::Tile);
    background.restore(user.state);
    EXPECT_EQ(rootPixmapProperty(x.display(), "_XROOTPMAP_ID"), 0u);
    EXPECT_EQ(rootPixmapProperty(x.display(), "ESETROOT_PMAP_ID"), 0u);
    EXPECT_THROW(RootPixmapBackground(":9999", own.path()).read(), DesktopError);
}

}  // namespace
}  // namespace velluma
