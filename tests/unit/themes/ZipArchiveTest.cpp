#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include "ThemeTestSupport.h"
#include "formats/ZipLayout.h"
#include "themes/ZipArchive.h"
#include "themes/ZipEntryName.h"

namespace velluma {
namespace {

using test::BuildRawZip;
using test::RawEntry;
using test::SortedNames;
using test::TempFolder;

struct NameCase {
    std::string name;
    bool safe;
};

TEST(ZipEntryName, OnlyRelativeNamesInsideTheFolderAreSafe) {
    const NameCase cases[] = {
        {"theme.cfg", true},
        {"images/sky.png", true},
        {"images/", true},
        {"a b/c.d.e", true},
        {"\xC3\xBC"
         "ber.htm",
         true},
        {"..hidden", true},
        {"", false},
        {"/etc/passwd", false},
        {"../x", false},
        {"a/../../x", false},
        {"..", false},
        {"./a", false},
        {"a/./b", false},
        {"a//b", false},
        {"a\\b", false},
        {"..\\x", false},
        {"C:x", false},
        {"c:/windows/x", false},
        {"a\x01"
         "b",
         false},
        {"a\x7f", false},
        {"/", false},
        {"a//", false},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(unsafeEntryNameReason(c.name).empty(), c.safe) << "name: " << c.name;
}

// The archive's folder lives inside a parent that must stay as it was.
struct Unpack {
    TempFolder temp;
    std::string parent = temp.makeFolder("parent");
    std::string folder = temp.makeFolder("parent/work");

    void run(const std::string& archive, const ExtractLimits& limits = {}) {
        ZipReader::openMemory(archive, "test.tvp").extractAll(folder, limits);
    }
};

TEST(ZipExtract, EntriesThatCouldEscapeOrAreNotPlainFilesAreRefusedBeforeAnythingIsWritten) {
    const std::uint32_t link = (S_IFLNK | 0777u) << 16;
    const std::uint32_t fifo = (S_IFIFO | 0644u) << 16;
    const std::uint16_t utf8 = 0x800;  // else libzip reads the name as CP437, where 1 is a glyph
    const RawEntry bad[] = {
        {"../escaped.txt", "x"},
        {"sub/../../escaped.txt", "x"},
        {"/tmp/absolute.txt", "x"},
        {"..\\escaped.txt", "x"},
        {"C:/escaped.txt", "x"},
        {"evil\x01.txt", "x", 0, -1, -1, 0, 3, -1, utf8},
        {"link", "../../outside", 0, -1, -1, link},
        {"pipe", "", 0, -1, -1, fifo},
    };
    for (const RawEntry& entry : bad) {
        Unpack u;
        const std::string archive = BuildRawZip({{"good.txt", "fine"}, entry});
        try {
            u.run(archive);
            ADD_FAILURE() << "accepted " << entry.name;
        } catch (const ZipError& e) {
            // libzip itself refuses a UTF-8 name with control characters; the rest we name.
            if (entry.flags == 0) {
                EXPECT_NE(std::string(e.what()).find(entry.name), std::string::npos) << e.what();
            }
        }
        EXPECT_EQ(SortedNames(u.folder), std::vector<std::string>{}) << entry.name;
        EXPECT_EQ(SortedNames(u.parent), std::vector<std::string>{"work"}) << entry.name;
        EXPECT_EQ(SortedNames(u.temp.path()), std::vector<std::string>{"parent"}) << entry.name;
    }
}

TEST(ZipExtract, TwoEntriesForTheSameFileAreRefused) {
    const std::vector<std::vector<RawEntry>> cases = {
        {{"a.txt", "1"}, {"a.txt", "2"}},
        {{"a", "file"}, {"a/b.txt", "inside a file"}},
        {{"a", "file"}, {"a/", ""}},
        // A folder entry below a file, either way round (found by fuzzing: it failed only
        // half-way through unpacking).
        {{"link", "/etc"}, {"link/x/", ""}},
        {{"link/x/", ""}, {"link", "/etc"}},
    };
    for (const auto& entries : cases) {
        Unpack u;
        EXPECT_THROW(u.run(BuildRawZip(entries)), ZipError) << entries[1].name;
        EXPECT_EQ(SortedNames(u.folder), std::vector<std::string>{});
    }
}

TEST(ZipExtract, FoldersAreRecreatedAndFilesKeepTheirContent) {
    Unpack u;
    u.run(BuildRawZip({{"index.htm", "<html>"},
                       {"images/", ""},
                       {"images/deep/sky.png", "png"},
                       {"dosfolder/", "", 0, -1, -1, 0x10, 0}}));
    EXPECT_EQ(SortedNames(u.folder),
              (std::vector<std::string>{"dosfolder", "images", "index.htm"}));
    EXPECT_EQ(test::readFile(u.folder + "/images/deep/sky.png"), "png");
    EXPECT_EQ(test::readFile(u.folder + "/index.htm"), "<html>");
}

TEST(ZipExtract, BombsAreRefusedBeforeTheyFillTheDisk) {
    ExtractLimits small;
    small.maxTotalBytes = 1 << 20;
    small.maxEntryBytes = 1 << 20;
    small.ratioFloorBytes = 1 << 16;
    const std::string zeros(std::size_t(4) << 20, '\0');
    const std::string packed = test::RawDeflate(zeros);
    const std::string tiny = test::RawDeflate(std::string(64 << 10, '\0'));
    const std::string half(600 << 10, 'x');
    const std::string inner = BuildRawZip({{"b", "inner"}}).substr(0, 30 + 1 + 5);

    struct Case {
        const char* why;
        std::vector<RawEntry> entries;
    };
    const Case cases[] = {
        {"would unpack to more than 1048576 bytes", {{"a", half}, {"b", half}}},
        {"would unpack to more than 1048576 bytes",
         {{"zeros", packed, 8, std::int64_t(zeros.size()), -1}}},
        {"impossible compression ratio", {{"zeros", tiny, 8, std::int64_t(900) << 10, 0}}},
        // b's header and data lie inside a's data: libzip accepts that.
        {"share or overlap", {{"a", inner}, {"b", "inner", 0, -1, -1, 0, 3, -1, 0, 31}}},
    };
    for (const Case& c : cases) {
        Unpack u;
        try {
            u.run(BuildRawZip(c.entries), small);
            ADD_FAILURE() << "accepted: " << c.why;
        } catch (const ZipError& e) {
            EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
        }
        EXPECT_EQ(SortedNames(u.folder), std::vector<std::string>{}) << c.why;
    }
}

TEST(ZipExtract, AnEntryThatHoldsMoreThanItDeclaresStopsAtTheDeclaredSize) {
    Unpack u;
    const std::string data(std::size_t(1) << 20, 'z');
    EXPECT_THROW(u.run(BuildRawZip({{"liar.bin", test::RawDeflate(data), 8, 100, 0}})), ZipError);
    struct stat st {};
    ASSERT_EQ(::stat((u.folder + "/liar.bin").c_str(), &st), 0);
    EXPECT_LE(st.st_size, 100);
}

TEST(ZipLayout, OverlappingOrMisplacedEntriesAreNamed) {
    const std::string good = BuildRawZip({{"a", "one"}, {"b", "two"}});
    EXPECT_EQ(zipLayoutProblem(good, 2), "");
    EXPECT_NE(zipLayoutProblem(good, 3), "");
    EXPECT_EQ(zipLayoutProblem(BuildRawZip({{"a", "one"}, {"b", "", 0, -1, -1, 0, 3, 0}}), 2),
              "entries share or overlap their data");
    EXPECT_NE(zipLayoutProblem(good.substr(0, good.size() - 30), 2), "");
    EXPECT_NE(zipLayoutProblem("", 0), "");
}

TEST(ZipRead, DamagedArchivesGiveAClearError) {
    const std::string archive = BuildRawZip({{"theme.cfg", "[Name]\r\nThemeName=A\r\n"}});
    EXPECT_THROW(ZipReader::openMemory(archive.substr(0, archive.size() - 10), "cut.tvp"),
                 ZipError);
    EXPECT_THROW(ZipReader::openMemory("not an archive at all", "text.tvp"), ZipError);
    EXPECT_THROW(ZipReader::openFile("/no/such/package.tvp"), ZipError);

    std::string flipped = archive;
    flipped[30 + 9 + 3] ^= 0x20;  // a byte of the stored data: the CRC no longer matches
    const ZipReader reader = ZipReader::openMemory(flipped, "flipped.tvp");
    try {
        reader.read(0, 1000);
        ADD_FAILURE() << "read a damaged entry";
    } catch (const ZipError& e) {
        EXPECT_NE(std::string(e.what()).find("flipped.tvp"), std::string::npos);
    }
    Unpack u;
    EXPECT_THROW(reader.extractAll(u.folder), ZipError);
}

TEST(ZipRead, FindsTheDescriptorWhateverItsLetterCase) {
    const ZipReader reader = ZipReader::openMemory(
        BuildRawZip({{"sub/theme.cfg", "no"}, {"Theme.CFG", "yes"}, {"dir/", ""}}), "x");
    ASSERT_TRUE(reader.findFile("theme.cfg"));
    EXPECT_EQ(reader.read(*reader.findFile("theme.cfg"), 100), "yes");
    EXPECT_FALSE(reader.findFile("dir"));
    EXPECT_FALSE(reader.findFile("missing"));
    EXPECT_THROW(reader.read(*reader.findFile("theme.cfg"), 2), ZipError);
}

TEST(ZipWrite, EntriesGoToTheRootInOrderDeflatedAtLevelSix) {
    TempFolder temp;
    const std::string text(20000, 'a');
    std::string mixed;
    for (int i = 0; i < 5000; ++i) mixed += std::to_string(i * 7919 % 1000) + " ";
    const std::string source = temp.write("source.swf", mixed);
    const std::string path = temp.file("out.tvp");
    int progress = 0;
    writeZipArchive(path, {ZipInput::data("theme.cfg", text), ZipInput::file("movie.swf", source)},
                    [&] { ++progress; });
    EXPECT_GT(progress, 0);
    EXPECT_EQ(test::ArchiveNames(path), (std::vector<std::string>{"theme.cfg", "movie.swf"}));
    EXPECT_EQ(test::ArchiveEntry(path, "movie.swf"), mixed);

    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &code);
    ASSERT_NE(za, nullptr);
    const std::string contents[] = {text, mixed};
    for (zip_uint64_t i = 0; i < 2; ++i) {
        zip_stat_t st;
        ASSERT_EQ(zip_stat_index(za, i, 0, &st), 0);
        EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE);
        EXPECT_EQ(st.comp_size, test::RawDeflate(contents[i], 6).size());
    }
    zip_discard(za);
    EXPECT_EQ(SortedNames(temp.path()), (std::vector<std::string>{"out.tvp", "source.swf"}));
}

TEST(ZipWrite, AFailedWriteLeavesTheOldArchiveWhole) {
    TempFolder temp;
    const std::string path = temp.write("keep.tvp", "old contents");
    EXPECT_THROW(writeZipArchive(path, {ZipInput::data("a", "1"),
                                        ZipInput::file("b", temp.file("missing.swf"))}),
                 ZipError);
    EXPECT_THROW(writeZipArchive(path, {ZipInput::data("a", "1")},
                                 [] { throw std::runtime_error("interrupted"); }),
                 std::runtime_error);
    EXPECT_EQ(test::readFile(path), "old contents");
    EXPECT_EQ(SortedNames(temp.path()), std::vector<std::string>{"keep.tvp"});
}

TEST(ZipWrite, AnArchiveWithoutEntriesIsStillAnArchive) {
    TempFolder temp;
    const std::string path = temp.file("empty.tvp");
    writeZipArchive(path, {});
    EXPECT_TRUE(ZipReader::openFile(path).entries().empty());
}

}  // namespace
}  // namespace velluma
