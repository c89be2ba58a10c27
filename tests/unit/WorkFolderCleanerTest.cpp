#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/TreeRemover.h"
#include "platform/WorkFolderCleaner.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::SortedNames;
using test::TempFolder;

// advThemes/WorkDir with two work folders of ours, things that are not ours, and links from
// inside a work folder to a folder and a file outside it.
struct Layout {
    TempFolder temp;
    std::string root = temp.makeFolder("WorkDir");
    std::string outside = temp.makeFolder("outside");

    Layout() {
        temp.write("outside/keep.txt", "mine");
        temp.write("WorkDir/1000/index.htm", "a");
        temp.write("WorkDir/1000/pages/deep/page.htm", "a");
        temp.write("WorkDir/1001/index.htm", "b");
        temp.write("WorkDir/notes/read.me", "not ours");
        temp.write("WorkDir/0123/x", "not a name of ours");
        temp.write("WorkDir/4294967296/x", "past 32 bits");
        temp.write("WorkDir/live-page-still.png", "png");
        link(outside, "WorkDir/1000/pages/to-folder");
        link(outside + "/keep.txt", "WorkDir/1000/to-file");
        link(outside, "WorkDir/2000");  // a numbered link is not a folder of ours
    }
    void link(const std::string& target, const std::string& at) {
        ASSERT_EQ(::symlink(target.c_str(), temp.file(at).c_str()), 0);
    }
    bool outsideIntact() const {
        return SortedNames(outside) == std::vector<std::string>{"keep.txt"} &&
               test::readFile(outside + "/keep.txt") == "mine";
    }
};

const std::vector<std::string> kNotOurs{"0123", "2000", "4294967296", "live-page-still.png",
                                        "notes"};

std::vector<std::string> with(std::vector<std::string> names) {
    names.insert(names.end(), kNotOurs.begin(), kNotOurs.end());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WorkFolderCleaner, RemovesOnlyNumberedFoldersOfItsOwnAndNeverFollowsALink) {
    struct Case {
        const char* what;
        std::string keepAtStart;           // "-": no start-up sweep
        std::vector<std::string> removed;  // paths relative to the temp folder
        std::vector<std::string> left;     // work folders that stay
    };
    const Case cases[] = {
        {"start-up keeps the folder of the recorded page", "WorkDir/1001/index.htm", {}, {"1001"}},
        {"start-up with no page of ours keeps none", "elsewhere/page.htm", {}, {}},
        {"one folder by its path", "-", {"WorkDir/1000"}, {"1001"}},
        {"the folder kept at start-up stays for the run",
         "WorkDir/1001",
         {"WorkDir/1001"},
         {"1001"}},
        {"names that are not ours stay",
         "-",
         {"WorkDir/notes", "WorkDir/0123", "WorkDir/2000", "WorkDir/live-page-still.png"},
         {"1000", "1001"}},
        {"only folders directly inside",
         "-",
         {"WorkDir/1000/pages", "WorkDir/1000/", "WorkDir/../outside", "outside", "WorkDir"},
         {"1000", "1001"}},
    };
    for (const Case& c : cases) {
        Layout l;
        {
            WorkFolderCleaner cleaner(l.root);
            if (c.keepAtStart != "-") cleaner.removeAllExcept(l.temp.file(c.keepAtStart));
            for (const std::string& path : c.removed) cleaner.remove(l.temp.file(path));
            cleaner.waitUntilDone();
        }
        EXPECT_EQ(SortedNames(l.root), with(c.left)) << c.what;
        EXPECT_TRUE(l.outsideIntact()) << c.what;
        EXPECT_EQ(test::readFile(l.temp.file("WorkDir/notes/read.me")), "not ours") << c.what;
    }
}

TEST(WorkFolderCleaner, ARootThatIsALinkIsLeftAlone) {
    Layout l;
    const std::string link = l.temp.file("linked");
    ASSERT_EQ(::symlink(l.root.c_str(), link.c_str()), 0);
    WorkFolderCleaner cleaner(link);
    cleaner.removeAllExcept("");
    cleaner.remove(link + "/1000");
    cleaner.waitUntilDone();
    EXPECT_EQ(SortedNames(l.root), with({"1000", "1001"}));
}

TEST(TreeRemover, RemovesTreesDeeperThanTheFoldersItKeepsOpen) {
    TempFolder temp;
    std::string path = temp.makeFolder("top");
    // Deep enough to give listings back on the way down; wide on the way.
    for (int level = 0; level < 300; ++level) {
        if (level % 50 == 0) {
            for (int i = 0; i < 20; ++i)
                ASSERT_EQ(::mkdir((path + "/side" + std::to_string(i)).c_str(), 0755), 0);
        }
        std::ofstream(path + "/file") << level;
        path += "/d";
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    }
    const int fd = ::open(temp.path().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_TRUE(removeTreeAt(fd, "top"));
    EXPECT_TRUE(removeTreeAt(fd, "top"));  // already gone
    ::close(fd);
    EXPECT_EQ(SortedNames(temp.path()), std::vector<std::string>{});
}

TEST(TreeRemover, StopsWhenAskedAndSaysSo) {
    TempFolder temp;
    for (int i = 0; i < 50; ++i) temp.write("top/f" + std::to_string(i), "x");
    const std::atomic<bool> stop{true};
    const int fd = ::open(temp.path().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_FALSE(removeTreeAt(fd, "top", &stop));
    ::close(fd);
    EXPECT_EQ(SortedNames(temp.path()), std::vector<std::string>{"top"});
}

}  // namespace
}  // namespace velluma
