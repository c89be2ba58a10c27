#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "themes/PageGenerator.h"

namespace velluma {
namespace {

std::string fixture(const std::string& name) {
    return test::readFile(std::string(VELLUMA_THEME_FIXTURES) + "/" + name);
}

// A staging folder of the builder: programFolder/advThemes/WorkDir/<name>/Files.
struct Staging {
    test::TempFolder temp;
    std::string programFolder = temp.makeFolder("Velluma");
    std::string name = "123456";
    Staging() { temp.makeFolder("Velluma/advThemes/WorkDir/" + name + "/Files"); }
    std::string file(const std::string& leaf) const {
        return StagingFilesFolder(programFolder, name) + "/" + leaf;
    }
};

TEST(PageGenerator, FixedFilesMatchTheirTablesByteForByte) {
    Staging s;
    WriteResolScript(s.programFolder, s.name);
    WriteStyleSheet(s.programFolder, s.name, BuilderInputs{});
    const std::string script = test::readFile(s.file("resol.js"));
    EXPECT_EQ(script, fixture("resol.js"));
    EXPECT_EQ(script.size(), 915u);
    const std::string sheet = test::readFile(s.file("css.css"));
    EXPECT_EQ(sheet, fixture("css_black.css"));
    EXPECT_EQ(sheet.size(), 424u);
}

TEST(PageGenerator, IndexPageWithPictureMatchesItsTable) {
    Staging s;
    BuilderInputs page;
    page.red = 128;  // maroon
    page.picturePath = "/home/user/Pictures/back.jpg";
    page.moviePath = "/home/user/Movies/fly.swf";
    page.widthPercent = 50;
    page.heightPercent = 33.5L;
    page.quality = 4;
    page.frameLeft = 30;
    page.areaWidth = 200;  // 15 %
    page.frameTop = 25;
    page.areaHeight = 150;  // 16.67 %
    WriteIndexPage(s.programFolder, s.name, page, {1366, 768});
    EXPECT_EQ(test::readFile(s.file("index.htm")), fixture("index_maroon_picture.htm"));

    // Without a picture the one line goes; the colour is always written, black included.
    page.picturePath.clear();
    page.red = 0;
    const std::string bare = IndexPageText(page, {1366, 768});
    EXPECT_EQ(bare.find("<img"), std::string::npos);
    EXPECT_NE(bare.find("<param name=bgcolor value=#000000>\r\n"), std::string::npos);
    EXPECT_NE(bare.find("\r\nbgcolor=#000000 \r\n"), std::string::npos);
}

TEST(PageGenerator, BuilderWritersFailWhenTheStagingFolderIsMissing) {
    test::TempFolder temp;
    EXPECT_THROW(WriteResolScript(temp.path(), "404"), std::runtime_error);
}

TEST(PageGenerator, ColoursArePrintedAsUpperCaseHex) {
    EXPECT_EQ(ColourText(255, 0, 0), "#FF0000");
    EXPECT_EQ(ColourText(128, 0, 0), "#800000");
    EXPECT_EQ(ColourText(0x0a, 0xbc, 0xde), "#0ABCDE");
    BuilderInputs red;
    red.red = 255;
    EXPECT_NE(StyleSheetText(red).find("\tbackground-color: #FF0000;\r"), std::string::npos);
}

TEST(PageGenerator, NumbersHaveAtMostFourSignificantDigitsAndHalvesGoToEven) {
    struct Case {
        int desktop;
        long double percent;
        const char* pixels;
    };
    const Case pixels[] = {
        {1024, 50, "512"},   {1366, 33, "451"}, {1025, 50, "512"},     {1027, 50, "514"},
        {1024, 100, "1024"}, {0, 50, "0"},      {12000, 100, "12000"}, {800, -10, "-80"},
    };
    for (const Case& c : pixels)
        EXPECT_EQ(PageNumber(MoviePixels(c.desktop, c.percent)), c.pixels)
            << c.desktop << " x " << static_cast<double>(c.percent);

    const std::pair<long double, const char*> numbers[] = {
        {50, "50"},    {100, "100"},     {33.5L, "33.5"},  {33.33333L, "33.33"}, {450.78L, "450.8"},
        {0.5L, "0.5"}, {12.50L, "12.5"}, {10000, "10000"}, {12345.6L, "12346"},  {-2.25L, "-2.25"},
    };
    for (const auto& [value, text] : numbers)
        EXPECT_EQ(PageNumber(value), text) << static_cast<double>(value);

    const std::tuple<int, int, int> placements[] = {
        {1, 8, 12}, {3, 8, 38}, {30, 200, 15}, {25, 150, 17}, {0, 0, 0}, {-10, 100, -10},
    };
    for (const auto& [edge, extent, percent] : placements)
        EXPECT_EQ(PlacementPercent(edge, extent), percent) << edge << "/" << extent;
}

TEST(PageGenerator, FlashBlockVariantsAndTheirBgcolorLines) {
    tTheme theme;
    theme.Name = "Snow";
    theme.Flash = {33, 50, 5, "ffffff"};
    std::string fixed;
    WriteFlashBlock(fixed, theme, "snow.swf", 7, 9, {1366, 768});
    // The fixed variant is the middle of the converted page of the same values.
    const std::string page = fixture("tivora_white.htm");
    const std::size_t begin = page.find("<object ");
    const std::size_t end = page.find("</body>");
    EXPECT_EQ(fixed, page.substr(begin, end - begin));

    struct Case {
        std::string bg;
        bool lines;
    };
    const Case cases[] = {{"", false}, {"000000", false}, {"ffffff", true}, {"#000000", true}};
    for (const Case& c : cases) {
        theme.Flash.BgColor = c.bg;
        std::string block;
        WriteFlashBlock(block, theme, "m.swf", 0, 0, {800, 600});
        EXPECT_EQ(block.find("<param name=bgcolor value=" + c.bg + ">\r\n") != std::string::npos,
                  c.lines)
            << c.bg;
        EXPECT_EQ(block.find("\r\nbgcolor=" + c.bg + " \r\n") != std::string::npos, c.lines)
            << c.bg;
    }

    // Only the exact name "js" places the movie by script; the embed keeps its pixels.
    theme.Name = "JS";
    std::string notScript;
    WriteFlashBlock(notScript, theme, "m.swf", 0, 0, {800, 600});
    EXPECT_EQ(notScript.rfind("<object \r\n", 0), 0u);
    theme.Name = "js";
    std::string script;
    WriteFlashBlock(script, theme, "m.swf", 7, 9, {800, 600});
    EXPECT_EQ(script.rfind("<script language=\"JavaScript\">\r\n<!--\r\n", 0), 0u);
    EXPECT_NE(script.find("\r\nWriteLT(7,9)\r\nWriteWH(33,50)\r\n"), std::string::npos);
    EXPECT_NE(script.find("width=\"264\" height=\"300\"></embed></object>\r\n"), std::string::npos);
}

TEST(PageGenerator, QualityWords) {
    const char* words[] = {"low", "autolow", "autohigh", "medium", "high", "best"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(QualityName(i), words[i]);
    EXPECT_EQ(QualityName(-1), "autohigh");
    EXPECT_EQ(QualityName(6), "autohigh");
}

}  // namespace
}  // namespace velluma
