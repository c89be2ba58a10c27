#include <gtest/gtest.h>

#include <string>

#include "platform/FileTools.h"

namespace velluma {
namespace {

TEST(FileTools, SplitsPathsIntoFolderAndName) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"a.txt", ".", "a.txt"},
        {"/a.txt", "/", "a.txt"},
        {"/x/y/a.txt", "/x/y", "a.txt"},
        {"x\\y.txt", ".", "x\\y.txt"},  // a backslash is part of a name
        {"x/", "x", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(folderOf(c.path), c.folder);
        EXPECT_EQ(FileNameOf(c.path), c.name);
    }
}

TEST(FileTools, TempPathsAreHiddenBesideTheFileAndFresh) {
    struct Case {
        const char* path;
        const char* start;
    };
    const Case cases[] = {
        {"/x/a.txt", "/x/.a.txt.tmp-"},
        {"/a.txt", "/.a.txt.tmp-"},
        {"a.txt", "./.a.txt.tmp-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string first = tempPathBeside(c.path, ".tmp-");
        ASSERT_EQ(first.rfind(c.start, 0), 0u) << first;
        const std::string suffix = first.substr(std::string(c.start).size());
        EXPECT_FALSE(suffix.empty());
        EXPECT_EQ(suffix.find_first_not_of("0123456789"), std::string::npos) << suffix;
        EXPECT_NE(tempPathBeside(c.path, ".tmp-"), first);
    }
}

}  // namespace
}  // namespace velluma
