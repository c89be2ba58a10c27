#include <gtest/gtest.h>

#include <filesystem>

#include "FileSizeLimit.h"
#include "imagelists/ListFile.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using Lines = std::vector<std::string_view>;

TEST(ListLine, PathBeforeTheFirstMarkAndSizeAfterIt) {
    struct Case {
        std::string_view line, path, size;
    };
    const Case cases[] = {
        {"/p/sea.jpg?1024*768", "/p/sea.jpg", "1024*768"},
        {"C:\\p\\x.bmp?640*480?old", "C:\\p\\x.bmp", "640*480?old"},
        {"no mark at all", "", "no mark at all"},
        {"", "", ""},
        {"?12*34", "", "12*34"},
        {"/p/a.jpg?", "/p/a.jpg", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LinePicturePath(c.line), c.path) << c.line;
        EXPECT_EQ(LineSizeText(c.line), c.size) << c.line;
    }
}

TEST(ListLines, AnyLineEndEndsALineAndAFinalOneAddsNoEntry) {
    struct Case {
        const char* what;
        std::string_view text;
        Lines lines;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"no final line end", "a", {"a"}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF", "a\nb\n", {"a", "b"}},
        {"CR", "a\rb\r", {"a", "b"}},
        {"mixed", "a\rb\r\nc\nd", {"a", "b", "c", "d"}},
        {"one empty line", "\r\n", {""}},
        {"empty lines kept", "a\r\n\r\nb\n\n", {"a", "", "b", ""}},
        {"LF CR is two line ends", "a\n\rb", {"a", "", "b"}},
        {"CR CR LF", "a\r\r\n", {"a", ""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitListLines(c.text), c.lines) << c.what;
        EXPECT_EQ(CountListLines(c.text), c.lines.size()) << c.what;
    }
    EXPECT_EQ(JoinListLines({"a", "", "b?1*2"}), "a\r\n\r\nb?1*2\r\n");
    EXPECT_EQ(JoinListLines({}), "");
}

TEST(ListLines, PathsThatWouldBreakTheFormatAreNamed) {
    EXPECT_EQ(ListLineProblem("/p/sea.jpg"), "");
    EXPECT_NE(ListLineProblem("/p/two\nlines.jpg"), "");
    EXPECT_NE(ListLineProblem("/p/two\rlines.jpg"), "");
    EXPECT_NE(ListLineProblem("/p/what?.jpg"), "");
}

TEST(ListFile, AFailedRewriteLeavesTheOldListWhole) {
    test::TempFolder temp;
    const std::string old = "/p/a.jpg?1*1\r\n/p/b.jpg?2*2\r\n";
    const std::string path = temp.write("holiday.lst", old);
    const std::string longLine(4096, 'x');
    {
        const test::FileSizeLimit diskFull(1024);
        try {
            WriteListFile(path, {"/p/a.jpg?1*1", longLine});
            ADD_FAILURE() << "the write did not fail";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(test::readFile(path), old);
    std::vector<std::string> names;  // no temp file left about
    for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"holiday.lst"});
    WriteListFile(path, {"/p/c.jpg?3*3"});
    EXPECT_EQ(test::readFile(path), "/p/c.jpg?3*3\r\n");
    EXPECT_THROW(ReadListFile(temp.file("missing.lst")), std::runtime_error);
}

}  // namespace
}  // namespace velluma
