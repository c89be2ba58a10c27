#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/DataFolder.h"
#include "core/Options.h"
#include "platform/posix/FileRegistry.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;
using test::fileExists;
using test::readFile;
using test::SortedNames;
using test::TempFolder;

TEST(DataFolderTest, PerUserFolderFollowsTheXdgRules) {
    struct Case {
        const char* xdgDataHome;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/x/data", "/home/ann", "/x/data/Velluma"},
        {"", "/home/ann", "/home/ann/.local/share/Velluma"},
        {"relative/data", "/home/ann", "/home/ann/.local/share/Velluma"},  // ignored, not absolute
        {"", "", ""},
        {"", "ann", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(perUserDataFolder(c.xdgDataHome, c.home), c.expected)
            << "XDG_DATA_HOME=" << c.xdgDataHome << " HOME=" << c.home;
}

TEST(DataFolderTest, WritableFolderByItsPermissionBits) {
    TempFolder temp;
    const std::string open = temp.makeFolder("open");
    const std::string closed = temp.makeFolder("closed");
    ::chmod(closed.c_str(), 0555);  // also for root, whose writes the bits would not stop
    EXPECT_TRUE(folderWritable(open));
    EXPECT_FALSE(folderWritable(closed));
    EXPECT_FALSE(folderWritable(temp.file("missing")));
    EXPECT_FALSE(folderWritable(temp.write("file", "x")));
    EXPECT_FALSE(folderWritable("/usr/lib/velluma"));
    EXPECT_FALSE(folderWritable("/usr"));
    ::chmod(closed.c_str(), 0755);
}

// An installed copy as the package lays it out, with a list left in it that must not travel.
class InstalledCopyTest : public ::testing::Test {
protected:
    InstalledCopyTest() {
        temp.write("usr/lib/velluma/registry/HKEY_CLASSES_ROOT.reg", "REGEDIT4\r\n\r\n");
        temp.write("usr/lib/velluma/advThemes/Aurora Veil.tvp", "tvp");
        temp.makeFolder("usr/lib/velluma/advThemes/WorkDir");
        temp.makeFolder("usr/lib/velluma/advThemes/Recycled");
        temp.write("usr/lib/velluma/imgLists/abstract/abs001.jpg", "jpeg");
        temp.write("usr/lib/velluma/imgLists/Corvalix/ilwallpap.jpg", "jpeg");
        temp.write("usr/lib/velluma/imgLists/old.lst", "list");
        temp.write("usr/lib/velluma/imgLists/Recycled/gone.lst", "list");
        temp.write("usr/lib/velluma/links.ini", "[INTERNET_LINKS]\r\nlink0=https://a.example/\r\n");
        temp.makeFolder("usr/lib/velluma/Languages");
        temp.makeFolder("home/.local/share");
    }
    ProgramFolders folders() const {
        return {temp.file("usr/lib/velluma"), temp.file("home/.local/share/Velluma")};
    }
    std::string data(const std::string& relative) const { return folders().data + "/" + relative; }

    TempFolder temp;
};

TEST_F(InstalledCopyTest, FirstRunLaysOutTheDataFolder) {
    prepareDataFolder(folders());
    EXPECT_EQ(readFile(data("registry/HKEY_CLASSES_ROOT.reg")), "REGEDIT4\r\n\r\n");
    EXPECT_EQ(readFile(data("advThemes/Aurora Veil.tvp")), "tvp");
    EXPECT_EQ(readFile(data("imgLists/abstract/abs001.jpg")), "jpeg");
    EXPECT_EQ(readFile(data("imgLists/Corvalix/ilwallpap.jpg")), "jpeg");
    EXPECT_EQ(SortedNames(folders().data + "/imgLists"),
              (std::vector<std::string>{"Corvalix", "Recycled", "WorkDir", "abstract"}));
    EXPECT_TRUE(SortedNames(data("imgLists/Recycled")).empty());
    for (const char* sub : {"advThemes/Recycled", "advThemes/WorkDir", "imgLists/WorkDir"})
        EXPECT_TRUE(fs::is_directory(data(sub))) << sub;
    // Nothing of the scratch folder it was made in stays beside it.
    EXPECT_EQ(SortedNames(temp.file("home/.local/share")), (std::vector<std::string>{"Velluma"}));
}

TEST_F(InstalledCopyTest, LaterRunsKeepTheUsersChangesAndPutBackMissingFolders) {
    prepareDataFolder(folders());
    fs::remove(data("advThemes/Aurora Veil.tvp"));
    temp.write("home/.local/share/Velluma/imgLists/mine.lst", "mine");
    fs::remove_all(data("imgLists/WorkDir"));
    fs::remove(data("registry/HKEY_CLASSES_ROOT.reg"));

    prepareDataFolder(folders());
    EXPECT_FALSE(fileExists(data("advThemes/Aurora Veil.tvp")));  // deleted by the user
    EXPECT_EQ(readFile(data("imgLists/mine.lst")), "mine");
    EXPECT_TRUE(fs::is_directory(data("imgLists/WorkDir")));
    EXPECT_TRUE(fileExists(data("registry/HKEY_CLASSES_ROOT.reg")));
}

TEST_F(InstalledCopyTest, AFolderThatCannotBeMadeIsNamedAndLeavesNothing) {
    temp.write("home/blocked", "a file where a folder should be");
    const ProgramFolders blocked{folders().install, temp.file("home/blocked/Velluma")};
    try {
        prepareDataFolder(blocked);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(temp.file("home/blocked")), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(readFile(temp.file("home/blocked")), "a file where a folder should be");
    EXPECT_EQ(SortedNames(temp.file("home")), (std::vector<std::string>{".local", "blocked"}));
}

TEST_F(InstalledCopyTest, SettingsKeepDataInTheUsersFolderAndReadTheInstalledFiles) {
    prepareDataFolder(folders());
    FileRegistry registry(data("registry"));
    const Settings s = ReadSettings(registry, folders().data, folders().install);
    EXPECT_EQ(s.ProgramFolder, folders().data);
    EXPECT_EQ(s.options.LanguageFileName, folders().install + "/Languages/english.lng");
    EXPECT_EQ(s.Links[0], "https://a.example/");
    // The first-run lists name the user's own copies of the pictures.
    EXPECT_EQ(readFile(data("imgLists/corvalix.lst")),
              folders().data + "/imgLists/Corvalix/ilwallpap.jpg?800*600\r\n");
}

TEST_F(InstalledCopyTest, StartupCommandIsTheLinkOnTheSystemPath) {
    const std::string install = folders().install;
    temp.write("usr/lib/velluma/velluma", "program");
    EXPECT_EQ(startupCommand(install, true), install + "/velluma");  // no link yet
    temp.makeFolder("usr/bin");
    fs::create_symlink("../lib/velluma/velluma", temp.file("usr/bin/velluma"));
    EXPECT_EQ(startupCommand(install, true), temp.file("usr/bin/velluma"));
    EXPECT_EQ(startupCommand(install, false), install + "/velluma");  // portable: the file itself
}

}  // namespace
}  // namespace velluma
