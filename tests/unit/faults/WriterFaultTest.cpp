// Every crash-safe writer, made to fail at each step of its write by the failing file layer
// (or by a real file size limit where a library does the writing), and killed between its
// steps: the file it replaces keeps its old content whole, no temp file outlives the
// failure (or start-up, after a kill), and a failure says which file and why.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "FailingFileLayer.h"
#include "FileSizeLimit.h"
#include "PictureFixtures.h"
#include "ThemeTestSupport.h"
#include "core/Options.h"
#include "formats/BmpCodec.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListOperations.h"
#include "imagelists/MemoryListLibrary.h"
#include "imagelists/MemoryPictureView.h"
#include "imagelists/WallpaperSetter.h"
#include "platform/AtomicFile.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/RegistryWallpaperRefresh.h"
#include "support/TempFolder.h"
#include "support/TestPlatform.h"
#include "themes/BuiltPackage.h"
#include "themes/FlashConversion.h"
#include "themes/ThemeFiles.h"
#include "themes/ZipArchive.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;
using test::FileFault;
using test::FileStep;
using test::kKillProcess;
using test::readFile;
using test::TempFolder;
using testing::HasSubstr;
using Names = std::vector<std::string>;

/// A failure: a step of the layer and its errno value. EFBIG on a write is a real file size
/// limit instead (FileSizeLimit, one byte short of the old file), which reaches the writes
/// libraries make themselves.
struct Fault {
    FileStep step;
    int error;
};

// What the system can answer at each step of replacing a file.
const std::vector<Fault> kEveryStep = {
    {FileStep::Create, EACCES},  // no permission
    {FileStep::Create, EROFS},   // read-only file system
    {FileStep::Create, ENOENT},  // the folder is missing
    {FileStep::Create, ENOSPC},  // no room for another file
    {FileStep::Write, ENOSPC},   // disk full
    {FileStep::Write, EDQUOT},   // quota used up
    {FileStep::Write, EIO},      // a failing disk
    {FileStep::Write, EFBIG},    // a real limit: part of the content is written
    {FileStep::Flush, EIO},      // write-back fails
    {FileStep::Flush, ENOSPC},   // delayed allocation finds the disk full
    {FileStep::Close, EIO},      // network file systems report late
    {FileStep::Rename, EACCES},  // the folder turned read-only
    {FileStep::Rename, EIO},     // a failing disk
};
// libzip creates and writes its temp file itself; the steps after it are ours.
const std::vector<Fault> kArchiveSteps = {
    {FileStep::Write, EFBIG},    // a real limit: libzip cannot finish its temp file
    {FileStep::Flush, EIO},      // write-back fails
    {FileStep::Flush, ENOSPC},   // delayed allocation finds the disk full
    {FileStep::Rename, EACCES},  // the folder turned read-only
    {FileStep::Rename, EIO},     // a failing disk
};
const std::vector<FileStep> kEveryKill = {FileStep::Write, FileStep::Flush, FileStep::Rename};
const std::vector<FileStep> kArchiveKills = {FileStep::Flush, FileStep::Rename};

/// One writer, set up afresh in a temp folder for each fault.
struct Writer {
    std::string folder;  // where it writes its temp file and the file it replaces
    std::string target;  // the file that must keep its old content
    /// Runs the write; returns the text the user is shown, or "" when it succeeded.
    std::function<std::string()> write;
    /// Checks the state that goes with the file (registry values, rows).
    std::function<void()> checkUnchanged = [] {};
    /// False for writers that only report "not done" by their contract.
    bool namesCause = true;
};
using MakeWriter = std::function<Writer(const TempFolder&)>;

std::string errorOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

Names namesIn(const std::string& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void expectFailuresKeepTheOldFile(const MakeWriter& make, const std::vector<Fault>& faults) {
    for (const Fault& fault : faults) {
        SCOPED_TRACE(test::describe(fault.step, fault.error));
        const TempFolder temp;
        const Writer writer = make(temp);
        const std::string before = readFile(writer.target);
        const Names names = namesIn(writer.folder);
        ASSERT_FALSE(before.empty());

        std::string message;
        if (fault.step == FileStep::Write && fault.error == EFBIG) {
            const test::FileSizeLimit limit(before.size() - 1);
            message = writer.write();
        } else {
            const FileFault layer(writer.folder, fault.step, fault.error);
            message = writer.write();
            EXPECT_GT(layer.hits(), 0) << "the write never reached the step";
        }

        EXPECT_FALSE(message.empty()) << "the write did not fail";
        if (writer.namesCause) {
            EXPECT_THAT(message, HasSubstr(writer.target));
            EXPECT_THAT(message, HasSubstr(std::strerror(fault.error)));
        }
        EXPECT_EQ(readFile(writer.target), before);
        EXPECT_EQ(namesIn(writer.folder), names);
        writer.checkUnchanged();
    }
}

void expectKillsKeepTheOldFile(const MakeWriter& make, const std::vector<FileStep>& steps) {
    for (const FileStep step : steps) {
        SCOPED_TRACE(test::describe(step, kKillProcess));
        const TempFolder temp;
        const Writer writer = make(temp);
        const std::string before = readFile(writer.target);
        const Names names = namesIn(writer.folder);

        EXPECT_EXIT(
            {
                const FileFault layer(writer.folder, step, kKillProcess);
                writer.write();
                std::_Exit(0);
            },
            testing::KilledBySignal(SIGKILL), "");

        EXPECT_EQ(readFile(writer.target), before);
        removeStaleTempFiles(writer.folder);  // as every start does
        EXPECT_EQ(namesIn(writer.folder), names);
        writer.checkUnchanged();
    }
}

// Registry files -----------------------------------------------------------------------

constexpr const char* kDesktopKey = "Control Panel\\Desktop";

Writer registryWriter(const TempFolder& temp) {
    const std::string folder = temp.makeFolder("registry");
    auto registry = std::make_shared<FileRegistry>(folder);
    registry->setString(Hive::CurrentUser, kDesktopKey, "Wallpaper", "old.bmp");
    auto read = [](Registry& r) {
        return r.readString(Hive::CurrentUser, kDesktopKey, "Wallpaper");
    };
    return {folder, registry->hivePath(Hive::CurrentUser),
            [registry] {
                return errorOf([&] {
                    registry->setString(Hive::CurrentUser, kDesktopKey, "Wallpaper", "new.bmp");
                });
            },
            [registry, folder, read] {
                EXPECT_EQ(read(*registry), "old.bmp");
                FileRegistry reloaded(folder);
                EXPECT_EQ(read(reloaded), "old.bmp");
            }};
}

TEST(RegistryFileFaults, EveryFailedStepKeepsTheHiveAndSaysWhy) {
    expectFailuresKeepTheOldFile(registryWriter, kEveryStep);
}

TEST(RegistryFileFaults, AKillBetweenTheStepsKeepsTheHive) {
    expectKillsKeepTheOldFile(registryWriter, kEveryKill);
}

// List files ---------------------------------------------------------------------------

constexpr const char* kOldList = "/p/a.jpg?1*1\r\n/p/b.bmp?2*2\r\n";

/// A program folder with a list of two pictures in the library and a picture to add.
struct ListWorld {
    explicit ListWorld(const TempFolder& temp)
        : list(temp.write("Velluma/imgLists/holiday.lst", kOldList)),
          picture(temp.write("pics/sea.bmp", EncodeBmp24(test::TestPattern(6, 4)))) {
        settings.ProgramFolder = temp.file("Velluma");
        lists.addRow({"holiday.lst", "2", list});
    }
    Settings settings;
    ListContext context{settings, {}};
    MemoryListLibrary lists;
    MemoryPictureView pictures;
    std::string list;
    std::string picture;
};

Writer listAppendWriter(const TempFolder& temp) {
    auto world = std::make_shared<ListWorld>(temp);
    return {world->context.listFolder(), world->list,
            [world] {
                return errorOf([&] {
                    AddPictureToList(world->lists, 0, world->picture, true, world->pictures);
                });
            },
            [world] { EXPECT_EQ(world->lists.row(0).count, "2"); }};
}

// A list dropped from elsewhere replaces the library's list of its name.
Writer listImportWriter(const TempFolder& temp) {
    auto world = std::make_shared<ListWorld>(temp);
    const std::string dropped =
        temp.write("elsewhere/holiday.lst", "/p/c.jpg?3*3\r\n/p/d.jpg?4*4\r\n/p/e.jpg?5*5\r\n");
    return {world->context.listFolder(), world->list,
            [world, dropped] {
                return errorOf([&] { AddListFile(world->context, world->lists, dropped); });
            },
            [world] { EXPECT_EQ(world->lists.rowCount(), 1); }};
}

TEST(ListFileFaults, EveryFailedStepKeepsTheListAndSaysWhy) {
    expectFailuresKeepTheOldFile(listAppendWriter, kEveryStep);
    expectFailuresKeepTheOldFile(listImportWriter, kEveryStep);
}

TEST(ListFileFaults, AKillBetweenTheStepsKeepsTheList) {
    expectKillsKeepTheOldFile(listAppendWriter, kEveryKill);
}

// wallpaper.bmp ------------------------------------------------------------------------

Writer wallpaperWriter(const TempFolder& temp) {
    struct World {
        explicit World(const TempFolder& temp)
            : platform(test::makeTestPlatform(temp.makeFolder("registry"))),
              context{temp.makeFolder("Velluma"), options, *platform.registry,
                      *platform.wallpaperRefresh, [] {
                          return ScreenSize{64, 48};
                      }} {}
        Platform platform;
        TOptions options;
        WallpaperContext context;
        std::string value(const char* name) {
            return platform.registry->readString(Hive::CurrentUser, kDesktopKey, name);
        }
        int refreshes() {
            return static_cast<RegistryWallpaperRefresh&>(*platform.wallpaperRefresh)
                .refreshCount();
        }
    };
    auto world = std::make_shared<World>(temp);
    temp.makeFolder("Velluma/imgLists/WorkDir");
    SetWallpaperPicture(world->context,
                        temp.write("old.bmp", EncodeBmp24(test::TestPattern(8, 8))));
    const std::string picture = temp.write("new.bmp", EncodeBmp24(test::TestPattern(30, 20)));
    const std::string wallpaper = world->value("Wallpaper");
    const int refreshes = world->refreshes();
    return {
        temp.file("Velluma/imgLists/WorkDir"), world->context.outputPath(),
        [world, picture] { return errorOf([&] { SetWallpaperPicture(world->context, picture); }); },
        [world, wallpaper, refreshes] {
            EXPECT_EQ(world->value("Wallpaper"), wallpaper);
            EXPECT_EQ(world->value("TileWallpaper"), "0");
            EXPECT_EQ(world->refreshes(), refreshes);
        }};
}

TEST(WallpaperFaults, EveryFailedStepKeepsTheWallpaperAndSaysWhy) {
    expectFailuresKeepTheOldFile(wallpaperWriter, kEveryStep);
}

TEST(WallpaperFaults, AKillBetweenTheStepsKeepsTheWallpaper) {
    expectKillsKeepTheOldFile(wallpaperWriter, kEveryKill);
}

// Theme packages -----------------------------------------------------------------------

std::string noise(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

// A bare Flash package in the theme folder, converted in place. By its contract the
// conversion only reports that it did not happen; the library then leaves the package out.
Writer conversionWriter(const TempFolder&) {
    auto world = std::make_shared<test::ThemeWorld>();
    const std::string path = test::WritePackage(
        world->themeFolder() + "/Bare.tvp",
        {{"theme.cfg", "[Files]\r\nFlashMovie=movie.swf\r\n"}, {"movie.swf", noise(4096)}});
    return {world->themeFolder(), path,
            [world, path] {
                bool converted = false;
                const std::string error =
                    errorOf([&] { converted = ConvertFlashPackage(world->context, path); });
                return converted ? std::string() : error.empty() ? "not converted" : error;
            },
            [] {}, false};
}

// The builder packs a new theme over a package of the same name.
Writer builtPackageWriter(const TempFolder& temp) {
    const std::string path = test::WritePackage(
        temp.file("advThemes/Sky.tvp"), {{"index.htm", "<p>old</p>"}, {"notes.txt", "kept"}});
    BuiltThemeFiles files;
    files.filesFolder = temp.makeFolder("staging/Files");
    files.movieName = "sky.swf";
    files.themeConfig = "[Name]\r\nThemeName=Sky\r\n";
    for (const char* name : {"index.htm", "resol.js", "css.css"})
        temp.write(std::string("staging/Files/") + name, name);
    temp.write("staging/Files/sky.swf", noise(8192));
    return {temp.file("advThemes"), path,
            [path, files] { return errorOf([&] { PackBuiltTheme(path, files); }); }};
}

// A package brought in from elsewhere replaces the library's copy of that name.
Writer packageCopyWriter(const TempFolder& temp) {
    const std::string old = temp.write("advThemes/Sky.tvp", "the library's copy");
    const std::string source = temp.write("downloads/Sky.tvp", noise(4096));
    return {temp.file("advThemes"), old,
            [old, source] { return errorOf([&] { CopyFileReplacing(source, old); }); }};
}

TEST(ThemePackageFaults, EveryFailedStepKeepsThePackage) {
    expectFailuresKeepTheOldFile(conversionWriter, kArchiveSteps);
    expectFailuresKeepTheOldFile(builtPackageWriter, kArchiveSteps);
    expectFailuresKeepTheOldFile(packageCopyWriter, kEveryStep);
}

TEST(ThemePackageFaults, AKillBetweenTheStepsKeepsThePackage) {
    expectKillsKeepTheOldFile(conversionWriter, kArchiveKills);
    expectKillsKeepTheOldFile(builtPackageWriter, kArchiveKills);
    expectKillsKeepTheOldFile(packageCopyWriter, kEveryKill);
}

}  // namespace
}  // namespace velluma
