// The sample themes that installation lays into advThemes, read the way the program reads
// them: the library's view of each package, its theme.cfg, its start page and, for the
// Flash theme, the movie.

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "formats/IniFile.h"
#include "formats/SwfHeader.h"
#include "themes/PageGenerator.h"
#include "themes/ThemePackage.h"
#include "themes/ZipArchive.h"

namespace velluma {
namespace {

const std::string kSamples = VELLUMA_SAMPLE_THEMES;

struct Sample {
    std::string file;
    std::string name;
    int style;
    bool flash;
};

const Sample kSampleThemes[] = {
    {"Petal Orbit.tvp", "Petal Orbit", 1, true},
    {"Aurora Veil.tvp", "Aurora Veil", 2, false},
    {"Dusk Tide.tvp", "Dusk Tide", 2, false},
};

std::vector<std::string> namesOf(const ZipReader& zip) {
    std::vector<std::string> names;
    for (const ZipEntry& e : zip.entries()) names.push_back(e.name);
    return names;
}

std::string entry(const ZipReader& zip, const std::string& name) {
    const auto index = zip.findFile(name);
    if (!index) return {};
    return zip.read(*index, 64u << 20);
}

bool hasBareLineFeed(const std::string& text) {
    for (std::size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
        if (i == 0 || text[i - 1] != '\r') return true;
    return false;
}

TEST(SampleThemes, EveryPackageIsACompleteThemeWithItsStartPage) {
    for (const Sample& s : kSampleThemes) {
        SCOPED_TRACE(s.file);
        const std::string path = kSamples + "/" + s.file;
        TThemeInfo info;
        ASSERT_TRUE(ReadThemeInfo(path, info));
        EXPECT_EQ(info.Name, s.name);
        EXPECT_EQ(info.Style, s.style);

        const ZipReader zip = ZipReader::openForExtraction(path);
        for (const std::string& name : namesOf(zip))
            EXPECT_EQ(name.find('/'), std::string::npos) << name << " is not at the root";

        const std::string config = entry(zip, "theme.cfg");
        EXPECT_FALSE(hasBareLineFeed(config));
        const IniFile ini(config);
        EXPECT_EQ(ini.readString("Author", "ThemeAuthor"), "Velluma");
        EXPECT_GT(ini.readString("Description", "Description").size(), 20u);
        const std::string startup = ini.readString("Files", "startup");
        ASSERT_FALSE(startup.empty());
        EXPECT_EQ(startup.front(), '\\');
        const std::string page = entry(zip, startup.substr(1));
        ASSERT_FALSE(page.empty()) << startup << " is not in the package";
        EXPECT_FALSE(hasBareLineFeed(page));

        // Whatever the page loads comes from the package itself.
        static const std::regex kReference(R"((?:src|href|value)=\"([^\"]+)\")", std::regex::icase);
        for (auto it = std::sregex_iterator(page.begin(), page.end(), kReference);
             it != std::sregex_iterator(); ++it) {
            const std::string target = (*it)[1];
            EXPECT_TRUE(zip.findFile(target)) << target << " is not in the package";
        }
        if (s.flash) continue;
        // A page theme needs nothing from the network, not even a font.
        for (const std::string& name : namesOf(zip))
            EXPECT_EQ(entry(zip, name).find("://"), std::string::npos) << name;
    }
}

TEST(SampleThemes, FlashThemeIsPackedAsTheBuilderPacksItAndItsMoviePlays) {
    const ZipReader zip = ZipReader::openForExtraction(kSamples + "/Petal Orbit.tvp");
    const std::vector<std::string> names = namesOf(zip);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], "index.htm");
    EXPECT_EQ(names[1], "theme.cfg");
    EXPECT_EQ(names[3], "resol.js");
    EXPECT_EQ(names[4], "css.css");
    EXPECT_EQ(entry(zip, "resol.js"), ResolScriptText());

    const std::string movie = entry(zip, names[2]);
    const SwfHeader header = ParseSwfHeader(movie);
    EXPECT_EQ(header.compression, SwfCompression::None);
    EXPECT_EQ(header.fileLength, movie.size());
    ASSERT_TRUE(header.stage);
    EXPECT_EQ(header.stage->widthPixels(), 1920);
    EXPECT_EQ(header.stage->heightPixels(), 1080);
    const double seconds = header.stage->frameCount / header.stage->frameRate;
    EXPECT_GE(seconds, 10);
    EXPECT_LE(seconds, 20);

    // The page around the movie has the movie's own backdrop colour, so a screen of
    // another shape shows no border; the page embeds the packed movie.
    ASSERT_TRUE(header.stage->background);
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%06X", *header.stage->background);
    const std::string index = entry(zip, "index.htm");
    EXPECT_NE(index.find(std::string("body{background-color:") + colour + ";}"), std::string::npos);
    EXPECT_NE(index.find("<param name=movie value=\"" + names[2] + "\">"), std::string::npos);
    EXPECT_NE(entry(zip, "css.css").find(colour), std::string::npos);
}

}  // namespace
}  // namespace velluma
