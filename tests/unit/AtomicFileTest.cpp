#include <gtest/gtest.h>

#include <filesystem>

#include "formats/RegularFile.h"
#include "platform/AtomicFile.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::readFile;
using test::TempFolder;

TEST(AtomicFile, ReplacesWholeAndLeavesNoTempFile) {
    TempFolder folder;
    const std::string path = folder.write("a.txt", "old");
    writeFileAtomically(path, std::string("new\0data", 8));
    EXPECT_EQ(readFile(path), std::string("new\0data", 8));
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, FailureKeepsTheOldFileAndSaysWhy) {
    TempFolder folder;
    // The target is a folder with content: the rename cannot replace it.
    folder.write("target/inside", "x");
    try {
        writeFileAtomically(folder.file("target"), "data");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("target"), std::string::npos);
    }
    EXPECT_EQ(readFile(folder.file("target/inside")), "x");
    // A missing folder cannot take the temp file.
    EXPECT_THROW(writeFileAtomically(folder.file("missing/f"), "data"), std::runtime_error);
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, StaleTempFilesAreRemoved) {
    TempFolder folder;
    folder.write(".HKEY_CURRENT_USER.reg.velluma-tmp-123", "half");
    folder.write("HKEY_CURRENT_USER.reg", "whole");
    removeStaleTempFiles(folder.path());
    EXPECT_FALSE(test::fileExists(folder.file(".HKEY_CURRENT_USER.reg.velluma-tmp-123")));
    EXPECT_EQ(readFile(folder.file("HKEY_CURRENT_USER.reg")), "whole");
}

TEST(AtomicFile, ReadRefusesOversizedFiles) {
    TempFolder folder;
    const std::string path = folder.write("big", std::string(100, 'x'));
    std::string contents;
    EXPECT_FALSE(readWholeFile(path, contents, 99));
    EXPECT_TRUE(readWholeFile(path, contents, 100));
    EXPECT_EQ(contents.size(), 100u);
    EXPECT_FALSE(readWholeFile(folder.file("none"), contents));
}

}  // namespace
}  // namespace velluma
