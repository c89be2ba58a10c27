#include "language/Language.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "support/TestPaths.h"

using namespace velluma;
using velluma::test::TempFolder;

namespace {

std::string fullLanguageFile(const std::string& prefix) {
    std::string text;
    std::string_view section;
    for (const TextKey& k : languageTextKeys()) {
        if (k.section != section) text += "[" + std::string(k.section) + "]\r\n";
        section = k.section;
        text += std::string(k.key) + "=" + prefix + std::string(k.section) + "/" +
                std::string(k.key) + "\r\n";
    }
    return text;
}

TEST(LanguageKeys, CoverTheTextTableWithoutDuplicates) {
    const auto& keys = languageTextKeys();
    std::set<std::string> seen;
    for (const TextKey& k : keys) {
        std::string id = std::string(k.section) + "/" + std::string(k.key);
        std::transform(id.begin(), id.end(), id.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(seen.insert(id).second) << "twice: " << id;
    }
    auto has = [&](std::string_view section, std::string_view key) {
        return std::any_of(keys.begin(), keys.end(),
                           [&](const TextKey& k) { return k.section == section && k.key == key; });
    };
    // The families with gaps and the odd spellings are where a list goes wrong.
    const struct {
        std::string_view section, key;
        bool listed;
    } samples[] = {
        {"LANGUAGE_NAME", "name", true},
        {"COUNTRY_FLAG", "filename", true},
        {"HELPFILE", "filename", true},
        {"MAINMENU", "a32name", true},
        {"MAINMENU", "a20name", false},
        {"TOOL_BAR", "b0pm01", true},
        {"STATUS_BAR", "msg5", true},
        {"STATUS_BAR", "msg6", false},
        {"STATUS_BAR", "msg9", true},
        {"PAGE_QUILLORY", "barbtn5", true},
        {"PAGE_QUILLORY", "barbtn8", false},
        {"PAGE_QUILLORY", "bRemovePM1", true},
        {"PAGE_QUILLORY", "filter3", true},
        {"PAGE_IMAGE_LISTS", "barbtn5", false},
        {"PAGE_IMAGE_LISTS", "barbtn13", true},
        {"PAGE_IMAGE_LISTS", "prewievPanel", true},
        {"PAGE_REPORT", "r5", false},
        {"PAGE_REPORT", "r6", true},
        {"PAGE_OPTIONS", "tsILrg13item1", true},
        {"PAGE_OPTIONS", "tsIllb2", true},
        {"ABOUT_WINDOW", "s2", true},
        {"PAGE_EDITOR", "caption12", true},
        {"PAGES_ARTICLES", "p6", true},
        {"WALLPAPERS_ACTIONS", "wa4", true},
    };
    for (const auto& s : samples)
        EXPECT_EQ(has(s.section, s.key), s.listed) << s.section << "/" << s.key;
}

TEST(LanguageLoad, ReadsEveryKeyAndForgetsThePreviousFile) {
    TempFolder temp;
    const std::string full = temp.write("full.lng", fullLanguageFile("1:"));
    const std::string partial = temp.write(
        "partial.lng",
        "[language_name]\r\nNAME = Deutsch \r\n[PAGE_EDITOR]\r\nCaption2=\"Position\"\r\n");

    TLanguage language(full);
    for (const TextKey& k : languageTextKeys())
        EXPECT_EQ(language.text(k.section, k.key),
                  "1:" + std::string(k.section) + "/" + std::string(k.key));
    EXPECT_EQ(language.Caption(), "1:MAINFORM_CAPTION/caption");
    EXPECT_EQ(language.text("page_quillory", "BREMOVEPM0"), "1:PAGE_QUILLORY/bRemovePM0");
    EXPECT_EQ(language.text("PAGE_QUILLORY", "nosuchkey"), "");

    language.Load(partial);
    EXPECT_EQ(language.Name(), "Deutsch");
    EXPECT_EQ(language.text("PAGE_EDITOR", "caption2"), "Position");
    EXPECT_EQ(language.Caption(), "");
    EXPECT_EQ(language.text("PAGE_EDITOR", "caption1"), "");
    EXPECT_EQ(language.text("STATUS_BAR", "msg8"), "");
    EXPECT_EQ(language.HelpFile(), "nofile");
    // A text added after the first language files: an older file still reads it in English.
    EXPECT_EQ(language.text("ABOUT_WINDOW", "s3"), "Home page:");
    EXPECT_EQ(language.text("PAGE_IMAGE_LISTS", "msg0"),
              "Select one image list to add pictures to.");
}

TEST(LanguageLoad, AKeyOutsideTheTableIsNotedAsTheProgramsFault) {
    auto noted = [](const std::string& name) {
        const std::vector<std::string> asked = TLanguage::unknownKeysAsked();
        return std::count(asked.begin(), asked.end(), name);
    };
    const TLanguage nothingLoaded;
    EXPECT_EQ(nothingLoaded.text("PAGE_EDITOR", "caption1"), "");
    EXPECT_EQ(nothingLoaded.text("page_editor", "PREVIEW10"), "");
    EXPECT_EQ(nothingLoaded.text("PAGE_EDITOR", "caption13"), "");
    EXPECT_EQ(nothingLoaded.text("PAGE_EDITOR", "caption13"), "");
    EXPECT_EQ(noted("PAGE_EDITOR/caption1"), 0);
    EXPECT_EQ(noted("page_editor/PREVIEW10"), 0);
    EXPECT_EQ(noted("PAGE_EDITOR/caption13"), 1);
}

// Keys the sources name with their section, even on paths no window test takes, are in the
// table (the window tests fail on any other key the program asks for while they run).
TEST(LanguageKeys, EveryKeyTheSourcesNameIsInTheTable) {
    std::set<std::string, std::less<>> sections, keys;
    for (const TextKey& k : languageTextKeys()) {
        sections.insert(std::string(k.section));
        keys.insert(std::string(k.section) + "/" + std::string(k.key));
    }
    const std::regex pair(R"re("([A-Z][A-Z_]+)"\s*,\s*"([A-Za-z][A-Za-z0-9_]*)")re");
    int named = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(VELLUMA_SOURCE_DIR "/src")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h") continue;
        const std::string text = test::readFile(entry.path().string());
        for (auto it = std::sregex_iterator(text.begin(), text.end(), pair);
             it != std::sregex_iterator(); ++it) {
            if (!sections.count((*it)[1].str())) continue;
            ++named;
            EXPECT_TRUE(keys.count((*it)[1].str() + "/" + (*it)[2].str()))
                << entry.path().filename() << ": " << (*it)[0].str();
        }
    }
    EXPECT_GT(named, 50);  // the pattern still finds the program's calls
}

TEST(LanguageLoad, HelpFileFallsBackOnlyWhenMissing) {
    TempFolder temp;
    EXPECT_EQ(TLanguage(temp.write("a.lng", "[HELPFILE]\nfilename=\\help\\en.chm\n")).HelpFile(),
              "\\help\\en.chm");
    EXPECT_EQ(TLanguage(temp.write("b.lng", "[HELPFILE]\nfilename=\n")).HelpFile(), "");

    TLanguage missing(temp.file("missing.lng"));
    EXPECT_EQ(missing.HelpFile(), "nofile");
    for (const TextKey& k : languageTextKeys())
        EXPECT_EQ(missing.text(k.section, k.key), k.fallback) << k.key;
}

QImage solidIcon(int size, Qt::GlobalColor color) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

class LanguageFolder : public ::testing::Test {
protected:
    void SetUp() override {
        flags = temp.makeFolder("Languages/flags");
        ASSERT_TRUE(
            solidIcon(16, Qt::red).save(QString::fromStdString(flags + "/flag.ico"), "ICO"));
        ASSERT_TRUE(solidIcon(32, Qt::blue).save(QString::fromStdString(flags + "/de.ico"), "ICO"));
        // A picture Qt can read, but not an icon.
        ASSERT_TRUE(
            solidIcon(24, Qt::green).save(QString::fromStdString(flags + "/png.ico"), "PNG"));
        temp.write("Languages/flags/text.ico", "not an icon\r\n");
    }

    std::string language(const std::string& file, const std::string& flagLine) {
        return temp.write("Languages/" + file,
                          "[LANGUAGE_NAME]\r\nname=Test\r\n[COUNTRY_FLAG]\r\n" + flagLine + "\r\n");
    }

    TempFolder temp;
    std::string flags;
};

TEST_F(LanguageFolder, FlagFallsBackToTheDefaultFlag) {
    const struct {
        const char* flagLine;
        int expectedSize;
    } cases[] = {
        {"filename=\\Languages\\flags\\de.ico", 32},
        {"FileName = \"\\Languages\\flags\\de.ico\"", 32},
        {"filename=Languages\\flags\\de.ico", 16},  // no leading backslash: not that file
        {"filename=\\Languages\\flags\\png.ico", 16},
        {"filename=\\Languages\\flags\\text.ico", 16},
        {"filename=\\Languages\\flags\\missing.ico", 16},
        {"filename=\\Languages\\flags", 16},
        {"", 16},
    };
    for (const auto& c : cases) {
        const LanguageHeader header =
            ReadLanguageHeader(language("x.lng", c.flagLine), temp.path());
        EXPECT_EQ(header.name, "Test");
        EXPECT_EQ(header.flag.width(), c.expectedSize) << c.flagLine;
    }

    std::remove((flags + "/flag.ico").c_str());
    EXPECT_TRUE(
        ReadLanguageHeader(language("x.lng", "filename=\\Languages\\flags\\png.ico"), temp.path())
            .flag.isNull());
    EXPECT_EQ(
        ReadLanguageHeader(language("x.lng", "filename=\\Languages\\flags\\de.ico"), temp.path())
            .flag.pixelColor(0, 0),
        QColor(Qt::blue));
}

TEST_F(LanguageFolder, ListsEveryNamedLanguageFile) {
    language("one.lng", "filename=\\Languages\\flags\\de.ico");
    language("two.lng", "");
    language("upper.LNG", "");
    temp.write("Languages/nameless.lng", "[LANGUAGE_NAME]\r\nname=\r\n");
    temp.write("Languages/other.txt", "[LANGUAGE_NAME]\r\nname=Text\r\n");
    temp.makeFolder("Languages/folder.lng");

    std::vector<TMLang> list;
    list.push_back({"/earlier.lng", "Earlier", QImage()});
    const std::string folder = temp.path() + "/Languages";
    FindLanguages(folder, temp.path(), list);

    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].Name, "Earlier");
    std::set<std::string> paths;
    for (std::size_t i = 1; i < list.size(); ++i) {
        EXPECT_EQ(list[i].Name, "Test");
        EXPECT_EQ(list[i].Flag.width(), list[i].Path == folder + "/one.lng" ? 32 : 16);
        paths.insert(list[i].Path);
    }
    EXPECT_EQ(paths, (std::set<std::string>{folder + "/one.lng", folder + "/two.lng",
                                            folder + "/upper.LNG"}));

    FindLanguages(temp.file("NoSuchFolder"), temp.path(), list);
    EXPECT_EQ(list.size(), 4u);
}

}  // namespace
