#include <gtest/gtest.h>

#include <filesystem>

#include "PictureFixtures.h"
#include "core/Options.h"
#include "formats/BmpCodec.h"
#include "imagelists/PictureFile.h"
#include "imagelists/WallpaperSetter.h"
#include "platform/Registry.h"
#include "platform/posix/RegistryWallpaperRefresh.h"
#include "support/TempFolder.h"
#include "support/TestPlatform.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;
using test::EncodeJpeg;
using test::TestPattern;

constexpr const char* kDesktopKey = "Control Panel\\Desktop";

/// A program folder with imgLists/WorkDir, a test platform whose registry is a real file
/// store, a desktop of 1024 x 768 and default settings.
class WallpaperWorld {
public:
    WallpaperWorld() {
        temp.makeFolder("Velluma/imgLists/WorkDir");
        context.desktopSize = [this] { return screen().virtualDesktopSize(); };
    }

    test::FakeScreen& screen() { return static_cast<test::FakeScreen&>(*platform.screen); }
    RegistryWallpaperRefresh& refresh() {
        return static_cast<RegistryWallpaperRefresh&>(*platform.wallpaperRefresh);
    }
    std::string value(const char* name) {
        return platform.registry->readString(Hive::CurrentUser, kDesktopKey, name);
    }
    std::string output() const { return context.outputPath(); }
    /// The size of the written wallpaper.bmp, checked to be an uncompressed 24-bit bitmap.
    std::pair<int, int> outputSize() {
        const auto source = BmpSource::openFile(output());
        EXPECT_EQ(source->layout().bitCount, 24);
        EXPECT_FALSE(source->layout().topDown);
        return {source->width(), source->height()};
    }
    std::string bitmap(const std::string& name, int width, int height) const {
        return temp.write(name, EncodeBmp24(TestPattern(width, height)));
    }

    test::TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    TOptions options;
    WallpaperContext context{
        temp.file("Velluma"), options, *platform.registry, *platform.wallpaperRefresh, {}};
};

TEST(ResolutionGroupOf, BandsOfWidthAndHeightTheSmallerCounting) {
    struct Case {
        int width, height, group;
    };
    const Case cases[] = {
        {640, 480, 3},  {50, 40, 0},   {1600, 1200, 5}, {64, 64, 0},    {99, 74, 0},
        {100, 75, 1},   {199, 149, 1}, {200, 150, 2},   {399, 299, 2},  {400, 300, 3},
        {799, 599, 3},  {800, 600, 4}, {1023, 767, 4},  {1024, 768, 5}, {850, 200, 2},
        {2000, 100, 1}, {50, 5000, 0}, {1280, 600, 4},  {1024, 767, 4}, {5000, 5000, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolutionGroupOf(c.width, c.height), c.group) << c.width << " x " << c.height;
}

TEST(SetWallpaperPicture, OutputSizeAndTilingByDisplayMode) {
    struct Case {
        const char* what;
        std::uint8_t showType, displType;
        ScreenSize desktop;
        int width, height;
        std::pair<int, int> output;
        const char* tile;
    };
    const Case cases[] = {
        {"own size, smaller", 0, 1, {1024, 768}, 800, 600, {800, 600}, "0"},
        {"tile, smaller", 0, 2, {1024, 768}, 800, 600, {800, 600}, "1"},
        {"own size, wider", 0, 1, {1024, 768}, 1280, 600, {1024, 768}, "0"},
        {"tile, wider", 0, 2, {1024, 768}, 1280, 600, {1024, 768}, "1"},
        {"tile, higher", 0, 2, {1024, 768}, 600, 800, {1024, 768}, "1"},
        {"stretch, small", 0, 0, {1280, 1024}, 50, 50, {1280, 1024}, "0"},
        {"stretch, large", 0, 0, {1280, 1024}, 1600, 1200, {1280, 1024}, "0"},
        {"own size, exact fit", 0, 1, {1024, 768}, 1024, 768, {1024, 768}, "0"},
        {"tile, exact fit", 0, 2, {1024, 768}, 1024, 768, {1024, 768}, "1"},
        {"unknown mode stretches", 0, 7, {1024, 768}, 64, 64, {1024, 768}, "0"},
        {"group 0 tiles", 1, 1, {1024, 768}, 64, 64, {64, 64}, "1"},
        {"group 3 stretches", 1, 1, {1024, 768}, 640, 480, {1024, 768}, "0"},
        {"group 5 on a large desktop", 1, 0, {1920, 1200}, 1600, 1200, {1600, 1200}, "0"},
        {"group 5 on a small desktop", 1, 0, {1024, 768}, 1600, 1200, {1024, 768}, "0"},
    };
    for (const Case& c : cases) {
        WallpaperWorld w;
        w.options.ilShowType = c.showType;
        w.options.ilDisplType = c.displType;
        w.screen().size = c.desktop;
        SetWallpaperPicture(w.context, w.bitmap("picture.bmp", c.width, c.height));
        EXPECT_EQ(w.outputSize(), c.output) << c.what;
        EXPECT_EQ(w.value("Wallpaper"), w.output()) << c.what;
        EXPECT_EQ(w.value("TileWallpaper"), c.tile) << c.what;
        EXPECT_EQ(w.refresh().refreshCount(), 1) << c.what;
        EXPECT_EQ(w.refresh().current().wallpaper, w.output()) << c.what;
    }
}

TEST(SetWallpaperPicture, StretchesByNearestNeighbourAndKeepsOwnSizePixels) {
    WallpaperWorld w;
    RgbImage picture;  // 2 x 2: red green over blue white
    picture.width = picture.height = 2;
    picture.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    w.screen().size = {4, 6};
    SetWallpaperPicture(w.context, w.temp.write("p.bmp", EncodeBmp24(picture)));
    const RgbImage out = ReadAllRows(*BmpSource::openFile(w.output()));
    ASSERT_EQ(out.width, 4);
    ASSERT_EQ(out.height, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x) {
            const std::uint8_t* expected = picture.rowData(y / 3) + (x / 2) * 3;
            EXPECT_TRUE(std::equal(expected, expected + 3, out.rowData(y) + x * 3))
                << x << ", " << y;
        }

    // At exactly the desktop's size every pixel is kept (rows without padding, too).
    for (const ScreenSize size : {ScreenSize{8, 5}, ScreenSize{7, 3}}) {
        const RgbImage exact = TestPattern(size.width, size.height);
        w.screen().size = size;
        SetWallpaperPicture(w.context, w.temp.write("exact.bmp", EncodeBmp24(exact)));
        EXPECT_EQ(ReadAllRows(*BmpSource::openFile(w.output())).pixels, exact.pixels)
            << size.width << " x " << size.height;
    }

    // Shrinking samples pixel centres: columns 1, 3, 5 of six.
    const RgbImage wide = TestPattern(6, 1);
    w.screen().size = {3, 1};
    SetWallpaperPicture(w.context, w.temp.write("wide.bmp", EncodeBmp24(wide)));
    const RgbImage shrunk = ReadAllRows(*BmpSource::openFile(w.output()));
    EXPECT_EQ(shrunk.pixels[0], 1);
    EXPECT_EQ(shrunk.pixels[3], 3);
    EXPECT_EQ(shrunk.pixels[6], 5);

    // A JPEG at its own size is drawn as decoded: compare with a plain decode.
    w.options.ilDisplType = kOwnSizeMode;
    w.screen().size = {1024, 768};
    const std::string photo = w.temp.write("photo.jpeg", EncodeJpeg(TestPattern(37, 21)));
    SetWallpaperPicture(w.context, photo);
    EXPECT_EQ(ReadAllRows(*BmpSource::openFile(w.output())).pixels, DecodePicture(photo).pixels);
    EXPECT_EQ(w.value("TileWallpaper"), "0");
}

TEST(SetWallpaperPicture, AnEmptyPathClearsTheWallpaperWithoutAFile) {
    WallpaperWorld w;
    w.options.ilDisplType = kTileMode;
    SetWallpaperPicture(w.context, w.bitmap("p.bmp", 10, 10));
    ASSERT_EQ(w.value("TileWallpaper"), "1");
    fs::remove(w.output());
    SetWallpaperPicture(w.context, "");
    EXPECT_EQ(w.value("Wallpaper"), "");
    EXPECT_EQ(w.value("TileWallpaper"), "0");
    EXPECT_FALSE(test::fileExists(w.output()));
    EXPECT_EQ(w.refresh().refreshCount(), 2);
    EXPECT_EQ(w.refresh().current().wallpaper, "");
}

TEST(SetWallpaperPicture, APictureThatCannotBeShownLeavesEverythingAsItWas) {
    const std::string jpeg = EncodeJpeg(TestPattern(64, 48));
    struct Case {
        const char* what;
        std::string name;
        std::string bytes;  // empty: no such file
        const char* reason;
    };
    const Case cases[] = {
        {"GIF read as a bitmap", "photo.gif", "GIF89a\x01\x00\x01\x00", "not a valid bitmap"},
        {"cut-off JPEG", "cut.jpg", jpeg.substr(0, jpeg.size() - 20), "Premature end"},
        {"bitmap claiming 40000 x 40000", "huge.bmp",
         EncodeBmp24(TestPattern(2, 2)).replace(18, 8, std::string("\x40\x9c\0\0\x40\x9c\0\0", 8)),
         "too large"},
        {"missing file", "missing.jpg", "", "missing.jpg"},
    };
    for (const Case& c : cases) {
        WallpaperWorld w;
        SetWallpaperPicture(w.context, w.bitmap("good.bmp", 30, 20));
        const std::string before = test::readFile(w.output());
        const std::string picture =
            c.bytes.empty() ? w.temp.file(c.name) : w.temp.write(c.name, c.bytes);
        try {
            SetWallpaperPicture(w.context, picture);
            ADD_FAILURE() << c.what << ": shown";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
                << c.what << ": " << e.what();
        }
        EXPECT_EQ(test::readFile(w.output()), before) << c.what;
        EXPECT_EQ(w.value("Wallpaper"), w.output()) << c.what;
        EXPECT_EQ(w.refresh().refreshCount(), 1) << c.what;
    }
}

TEST(SetWallpaperPicture, AMissingWorkFolderFailsBeforeTheRegistryIsTouched) {
    WallpaperWorld w;
    w.platform.registry->setString(Hive::CurrentUser, kDesktopKey, "Wallpaper", "/mine.bmp");
    fs::remove_all(w.temp.file("Velluma/imgLists/WorkDir"));
    EXPECT_THROW(SetWallpaperPicture(w.context, w.bitmap("p.bmp", 8, 8)), std::runtime_error);
    EXPECT_EQ(w.value("Wallpaper"), "/mine.bmp");
    EXPECT_EQ(w.refresh().refreshCount(), 0);

    WallpaperWorld noDesktop;  // no screen at all: an error, not a bitmap without pixels
    noDesktop.screen().size = {0, 0};
    EXPECT_THROW(SetWallpaperPicture(noDesktop.context, noDesktop.bitmap("p.bmp", 8, 8)),
                 std::runtime_error);
    EXPECT_EQ(noDesktop.refresh().refreshCount(), 0);
}

TEST(SetWallpaperImage, RendersAPictureInMemoryByItsMode) {
    WallpaperWorld w;
    w.options.ilShowType = 1;  // 64 x 64 is group 0: tiled
    SetWallpaperImage(w.context, TestPattern(64, 64));
    EXPECT_EQ(w.outputSize(), (std::pair<int, int>{64, 64}));
    EXPECT_EQ(w.value("TileWallpaper"), "1");
    EXPECT_THROW(SetWallpaperImage(w.context, RgbImage{}), std::runtime_error);
}

}  // namespace
}  // namespace velluma
