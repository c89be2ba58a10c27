// The content that installation lays into the program folder, read the way the program
// reads it: every text of every language, the flags, the link table, the pictures the
// first-run lists name, and the class keys of the registry.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/IniFile.h"
#include "language/Language.h"
#include "platform/posix/FileRegistry.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"

using namespace velluma;
using velluma::test::TempFolder;
namespace fs = std::filesystem;

namespace {

// The source tree's data folder is laid out as the installed program folder.
const std::string kProgramFolder = VELLUMA_DATA_DIR;

// A path stored in a file ("\Help\velluma.html") as a path below the program folder.
std::string programPath(const std::string& stored) {
    std::string path = stored;
    std::replace(path.begin(), path.end(), '\\', '/');
    return kProgramFolder + path;
}

std::vector<std::string> shippedLanguageFiles() {
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(kProgramFolder + "/Languages"))
        if (entry.is_regular_file() && entry.path().extension() == ".lng")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(ShippedData, EveryLanguageFileHasEveryText) {
    const std::vector<std::string> files = shippedLanguageFiles();
    // English is the default language, and at least one translation ships beside it.
    ASSERT_GE(files.size(), 2u);
    EXPECT_TRUE(std::count(files.begin(), files.end(), kProgramFolder + "/Languages/english.lng"));
    ASSERT_FALSE(languageTextKeys().empty());

    std::set<std::string> names;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string text = test::readFile(file);
        ASSERT_FALSE(text.empty());

        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8(QByteArray::fromStdString(text));
        EXPECT_FALSE(utf8.hasError() || decoded.isEmpty()) << "not UTF-8";
        const std::size_t bareLineFeed = [&] {
            for (std::size_t i = text.find('\n'); i != std::string::npos;
                 i = text.find('\n', i + 1))
                if (i == 0 || text[i - 1] != '\r') return i;
            return std::string::npos;
        }();
        EXPECT_EQ(bareLineFeed, std::string::npos) << "a line ends without CR";

        const IniFile ini(text);
        for (const TextKey& k : languageTextKeys())
            EXPECT_FALSE(ini.readString(k.section, k.key).empty()) << k.section << "/" << k.key;

        // The menu finds a language by its name, so two files must not share one.
        EXPECT_TRUE(names.insert(ini.readString("LANGUAGE_NAME", "name")).second);
        EXPECT_TRUE(fs::is_regular_file(programPath(ini.readString("HELPFILE", "filename"))))
            << "help file";
    }
}

TEST(ShippedData, EveryLanguageShowsItsOwnFlag) {
    for (const std::string& file : shippedLanguageFiles()) {
        SCOPED_TRACE(file);
        const LanguageHeader header = ReadLanguageHeader(file, kProgramFolder);
        EXPECT_FALSE(header.name.empty());
        EXPECT_FALSE(header.flag.isNull());
        // Its own flag, not the default flag standing in for a missing one.
        const std::string flag = IniFile::load(file).readString("COUNTRY_FLAG", "filename");
        ASSERT_FALSE(flag.empty());
        EXPECT_EQ(flag.front(), '\\');
        EXPECT_NE(fs::path(flag).filename(), "flag.ico");
        EXPECT_TRUE(fs::is_regular_file(programPath(flag)));
    }
}

TEST(ShippedData, FlagIconsHoldBothMenuSizes) {
    for (const char* name : {"flag.ico", "gb.ico", "de.ico", "fr.ico"}) {
        SCOPED_TRACE(name);
        QImageReader reader(QString::fromStdString(kProgramFolder + "/Languages/flags/" + name));
        ASSERT_EQ(reader.format(), QByteArray("ico"));
        std::set<int> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            ASSERT_TRUE(reader.jumpToImage(i));
            const QImage image = reader.read();
            ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
            EXPECT_EQ(image.width(), image.height());
            sizes.insert(image.width());
        }
        EXPECT_EQ(sizes, (std::set<int>{16, 32}));
    }
}

TEST(ShippedData, LinkTableHasEveryLink) {
    const IniFile links = IniFile::load(kProgramFolder + "/links.ini");
    for (int i = 0; i <= 5; ++i) {
        const std::string key = "link" + std::to_string(i);
        EXPECT_EQ(links.readString("INTERNET_LINKS", key).rfind("https://", 0), 0u) << key;
    }
}

TEST(ShippedData, FirstRunListPicturesExistAtTheirListedSize) {
    // The first-run lists name these pictures with these sizes without measuring them.
    struct Picture {
        std::string path;
        std::pair<int, int> size;
    };
    std::vector<Picture> pictures{{"/imgLists/Corvalix/ilwallpap.jpg", {800, 600}}};
    for (int n = 1; n <= 11; ++n)
        pictures.push_back({"/imgLists/abstract/abs00" + std::to_string(n) + ".jpg", {1024, 768}});

    for (const Picture& picture : pictures) {
        SCOPED_TRACE(picture.path);
        QImageReader reader(QString::fromStdString(kProgramFolder + picture.path));
        EXPECT_EQ(reader.format(), QByteArray("jpeg"));
        const QSize size = reader.size();
        EXPECT_EQ(std::make_pair(size.width(), size.height()), picture.size);
    }
}

TEST(ShippedData, RegistryHoldsTheClassKeysAndNoSettings) {
    // Read from a copy: the registry sets aside a file it cannot parse.
    TempFolder folder;
    folder.write("HKEY_CLASSES_ROOT.reg",
                 test::readFile(kProgramFolder + "/registry/HKEY_CLASSES_ROOT.reg"));
    FileRegistry registry(folder.path());
    EXPECT_TRUE(
        registry.keyExists(Hive::ClassesRoot, "CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}"));
    EXPECT_TRUE(
        registry.keyExists(Hive::ClassesRoot, "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}"));
    EXPECT_FALSE(fs::exists(folder.file("HKEY_CLASSES_ROOT.reg.corrupt")));

    // The first run must find no settings at all.
    EXPECT_FALSE(fs::exists(kProgramFolder + "/registry/HKEY_LOCAL_MACHINE.reg"));
    EXPECT_FALSE(fs::exists(kProgramFolder + "/registry/HKEY_CURRENT_USER.reg"));
}

}  // namespace
