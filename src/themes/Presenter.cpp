#include "themes/Presenter.h"

#include "core/IniFile.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/WallpaperRefresh.h"
#include "themes/ThemeConfig.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeFiles.h"
#include "themes/ZipArchive.h"

namespace velluma {

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

std::optional<AppliedTheme> ApplyThemePackage(ThemeContext& context, const std::string& path,
                                              const std::string& helpFilePath) {
    if (!ActiveDesktopInstalled(context.registry) || !FlashInstalled(context.registry)) {
        context.messageBoxes.show("Error: ActiveDesktop or ShockWave ActiveX not found.",
                                  "Tivora 2.00 Error", MessageIcon::Error);
        if (context.shell.open(helpFilePath, ShowMode::Show) == kShellFileNotFound)
            context.messageBoxes.show("Help file not found", "Tivora 2.00", MessageIcon::Error);
        return std::nullopt;
    }

    AppliedTheme applied;
    {
        // The package stays open only while it is unpacked.
        ZipReader archive = ZipReader::openForExtraction(path);
        applied.workFolder = CreateNumberedFolder(context.programFolder + "/advThemes/WorkDir",
                                                  context.clock.tickCount())
                                 .path;
        try {
            archive.extractAll(applied.workFolder, {}, context.processEvents);
        } catch (...) {
            RemoveIfEmpty(applied.workFolder);  // a refused package leaves no empty folders
            throw;
        }

        std::string startup;
        if (auto config = archive.findFile(std::string(kThemeConfigName)))
            startup = IniFile::load(applied.workFolder + "/" + archive.entries()[*config].name)
                          .readString("Files", "startup");
        if (startup.empty()) startup = kDefaultStartPage;
        applied.startPage = StartPageIn(applied.workFolder, startup);
    }

    ActiveDesktop& desktop = context.activeDesktop;
    desktop.setDesktopItemOptions({.enableComponents = false, .activeDesktop = true});
    desktop.setWallpaper(applied.startPage);
    desktop.applyChanges();
    return applied;
}

void ActiveDesktopOff(ThemeContext& context) {
    context.activeDesktop.setDesktopItemOptions(
        {.enableComponents = false, .activeDesktop = false});
    context.activeDesktop.applyChanges();
}

}  // namespace velluma
