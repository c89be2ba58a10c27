// Every reader of a file from outside refuses a fifo, a folder and a link to a fifo at once,
// as it does a missing file: opening a fifo for reading waits for a writer, for ever.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <stdexcept>

#include "formats/IniFile.h"
#include "formats/RegularFile.h"
#include "formats/SwfHeader.h"
#include "imagelists/ListFile.h"
#include "imagelists/PictureFile.h"
#include "language/Language.h"
#include "platform/posix/FileRegistry.h"
#include "support/TempFolder.h"
#include "themes/ThemeFiles.h"
#include "themes/ZipArchive.h"

namespace velluma {
namespace {

using test::TempFolder;

// True when read refuses path the way it refuses a missing file (by throwing or by giving
// nothing); false when it accepted it.
using Reader = std::function<bool(const std::string& path, const TempFolder& temp)>;

template <typename F>
bool throws(F&& f) {
    try {
        f();
    } catch (const std::runtime_error&) {
        return true;
    }
    return false;
}

struct ReaderCase {
    const char* what;
    const char* name;  // the file name the reader expects
    Reader read;
};

const ReaderCase kReaders[] = {
    {"settings and links.ini", "links.ini",
     [](const std::string& path, const TempFolder&) {
         return IniFile::load(path).readString("INTERNET_LINKS", "link0").empty();
     }},
    {"language file", "x.lng",
     [](const std::string& path, const TempFolder& temp) {
         return ReadLanguageHeader(path, temp.path()).name.empty();
     }},
    {"language flag", "x.lng",
     [](const std::string& path, const TempFolder& temp) {
         const std::string lng =
             temp.write("flagged.lng", "[LANGUAGE_NAME]\r\nname=X\r\n[COUNTRY_FLAG]\r\nfilename=" +
                                           path.substr(temp.path().size() + 1) + "\r\n");
         return ReadLanguageHeader(lng, temp.path()).flag.isNull();
     }},
    {"registry hive", "HKEY_CURRENT_USER.reg",
     [](const std::string&, const TempFolder& temp) {
         return !FileRegistry(temp.path()).value(Hive::CurrentUser, "Software", "x");
     }},
    {"image list", "holiday.lst",
     [](const std::string& path, const TempFolder&) {
         return throws([&] { ReadListFile(path); });
     }},
    {"JPEG picture", "photo.jpg",
     [](const std::string& path, const TempFolder&) {
         return throws([&] { MeasurePicture(path); });
     }},
    {"bitmap picture", "photo.bmp",
     [](const std::string& path, const TempFolder&) {
         return throws([&] { DecodePicture(path); });
     }},
    {"Flash movie", "movie.swf",
     [](const std::string& path, const TempFolder&) {
         return throws([&] { ReadSwfHeader(path); });
     }},
    {"theme package", "theme.tvp",
     [](const std::string& path, const TempFolder&) {
         return throws([&] { ZipReader::openFile(path); });
     }},
    {"theme package to unpack", "theme.tvp",
     [](const std::string& path, const TempFolder&) {
         return throws([&] { ZipReader::openForExtraction(path); });
     }},
    {"file packed into a theme", "movie.swf",
     [](const std::string& path, const TempFolder& temp) {
         return throws(
             [&] { writeZipArchive(temp.file("built.tvp"), {ZipInput::file("movie.swf", path)}); });
     }},
    {"package copied into the library", "theme.tvp",
     [](const std::string& path, const TempFolder& temp) {
         return throws([&] { CopyFileReplacing(path, temp.file("copy.tvp")); });
     }},
    {"whole file", "any",
     [](const std::string& path, const TempFolder&) {
         std::string contents;
         return !readWholeFile(path, contents);
     }},
};

// Makes path an odd file of the given kind; returns the fifo a blocked reader waits on
// ("" when there is none).
std::string makeOddFile(const std::string& kind, const std::string& path, const TempFolder& temp) {
    if (kind == "folder") {
        EXPECT_EQ(::mkdir(path.c_str(), 0755), 0);
        return {};
    }
    std::string fifo = path;
    if (kind == "link to a fifo") {
        fifo = temp.file("target.fifo");
        EXPECT_EQ(::symlink(fifo.c_str(), path.c_str()), 0);
    }
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    return fifo;
}

TEST(OddFiles, EveryReaderRefusesFifosFoldersAndLinksToFifosWithoutWaiting) {
    for (const char* kind : {"fifo", "folder", "link to a fifo"}) {
        for (const ReaderCase& reader : kReaders) {
            TempFolder temp;
            const std::string path = temp.file(reader.name);
            const std::string fifo = makeOddFile(kind, path, temp);
            auto result = std::async(std::launch::async, reader.read, path, std::cref(temp));
            if (result.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
                ADD_FAILURE() << reader.what << ", " << kind << ": still waiting after 10 s";
                // Let it go: a writer that comes and goes gives the reader an end of file.
                const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0) ::close(writer);
            }
            EXPECT_TRUE(result.get()) << reader.what << ", " << kind << ": accepted";
        }
    }
}

TEST(OddFiles, MissingFilesAreRefusedAsBefore) {
    TempFolder temp;
    for (const ReaderCase& reader : kReaders)
        EXPECT_TRUE(reader.read(temp.file(reader.name), temp)) << reader.what;
}

}  // namespace
}  // namespace velluma
