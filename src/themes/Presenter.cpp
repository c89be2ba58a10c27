#include "themes/Presenter.h"

#include <fcntl.h>
#include <unistd.h>

#include <optional>

#include "formats/IniFile.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/TreeRemover.h"
#include "platform/WallpaperRefresh.h"
#include "platform/WorkFolderCleaner.h"
#include "themes/ThemeConfig.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeFiles.h"
#include "themes/ZipArchive.h"

namespace velluma {

namespace {

// A work folder whose theme never reached the desktop goes whole.
void discardWorkFolder(ThemeContext& context, const std::string& workDir,
                       const NumberedFolder& folder) {
    if (context.workFolders) {
        context.workFolders->remove(folder.path);
        return;
    }
    const int fd = ::open(workDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    removeTreeAt(fd, std::to_string(folder.number));
    ::close(fd);
}

}  // namespace

DesktopRecord RecordDesktop(ThemeContext& context) {
    DesktopRecord record;
    record.options = context.activeDesktop.desktopItemOptions();
    const char* key = record.options.activeDesktop ? kActiveDesktopGeneralKey : kClassicDesktopKey;
    record.wallpaper = context.registry.readString(Hive::CurrentUser, key, "Wallpaper");
    record.tileWallpaper = context.registry.readString(Hive::CurrentUser, key, "TileWallpaper");
    return record;
}

void RestoreDesktop(ThemeContext& context, const DesktopRecord& record) {
    ActiveDesktop& desktop = context.activeDesktop;
    if (record.options.activeDesktop) {
        desktop.setDesktopItemOptions(record.options);
        desktop.setWallpaper(record.wallpaper);
        desktop.applyChanges();
        return;
    }
    desktop.setDesktopItemOptions(record.options);  // switches the Active Desktop off
    desktop.applyChanges();
    context.registry.setValues(Hive::CurrentUser, kClassicDesktopKey,
                               {{"Wallpaper", RegValue::string(record.wallpaper)},
                                {"TileWallpaper", RegValue::string(record.tileWallpaper)}});
    context.wallpaperRefresh.refresh();
}

void RemoveOldWorkFolders(ThemeContext& context, const DesktopRecord& record) {
    if (context.workFolders) context.workFolders->removeAllExcept(record.wallpaper);
}

std::optional<AppliedTheme> ApplyThemePackage(ThemeContext& context, const std::string& path,
                                              const std::string& helpFilePath) {
    if (!ActiveDesktopInstalled(context.registry) || !FlashInstalled(context.registry)) {
        context.messageBoxes.show("Error: ActiveDesktop or ShockWave ActiveX not found.",
                                  "Tivora 2.00 Error", MessageIcon::Error);
        if (context.shell.open(helpFilePath, ShowMode::Show) == kShellFileNotFound)
            context.messageBoxes.show("Help file not found", "Tivora 2.00", MessageIcon::Error);
        return std::nullopt;
    }

    const std::string workDir = context.programFolder + "/advThemes/WorkDir";
    // The package stays open only while it is unpacked.
    std::optional<ZipReader> archive = ZipReader::openForExtraction(path);
    const NumberedFolder folder = CreateNumberedFolder(workDir, context.clock.tickCount());
    AppliedTheme applied{folder.path, {}};
    try {
        archive->extractAll(applied.workFolder, {}, context.processEvents);
        std::string startup;
        if (auto config = archive->findFile(std::string(kThemeConfigName)))
            startup = IniFile::load(applied.workFolder + "/" + archive->entries()[*config].name)
                          .readString("Files", "startup");
        if (startup.empty()) startup = kDefaultStartPage;
        applied.startPage = StartPageIn(applied.workFolder, startup);
        archive.reset();

        ActiveDesktop& desktop = context.activeDesktop;
        desktop.setDesktopItemOptions({.enableComponents = false, .activeDesktop = true});
        desktop.setWallpaper(applied.startPage);
        desktop.applyChanges();
    } catch (...) {
        // Part of a theme is no theme: a refused or damaged package leaves nothing behind.
        discardWorkFolder(context, workDir, folder);
        throw;
    }
    return applied;
}

void ActiveDesktopOff(ThemeContext& context) {
    context.activeDesktop.setDesktopItemOptions(
        {.enableComponents = false, .activeDesktop = false});
    context.activeDesktop.applyChanges();
}

}  // namespace velluma
