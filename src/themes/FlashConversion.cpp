#include "themes/FlashConversion.h"

#include <sys/stat.h>

#include <unordered_set>
#include <vector>

#include "formats/IniFile.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FileTools.h"
#include "themes/PageGenerator.h"
#include "themes/ThemeConfig.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeFiles.h"
#include "themes/ThemeRecords.h"
#include "themes/ZipArchive.h"
#include "themes/ZipEntryName.h"

namespace velluma {
namespace {

constexpr const char* kStartPageName = "tivora.htm";

std::string withSlashes(std::string stored) {
    for (char& c : stored)
        if (c == '\\') c = '/';
    return stored;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool ConvertFlashPackage(ThemeContext& context, const std::string& path) {
    ZipReader archive = ZipReader::openForExtraction(path);
    const std::string staging = CreateNumberedFolder(context.programFolder + "/advThemes/WorkDir",
                                                     context.clock.tickCount())
                                    .path;
    try {
        archive.extractAll(staging, {}, context.processEvents);
    } catch (...) {
        RemoveIfEmpty(staging);  // a refused package leaves no empty folders
        throw;
    }

    // The descriptor as unpacked; packages made on Windows may spell its name otherwise.
    const std::string configPath = staging + "/" + std::string(kThemeConfigName);
    const auto config = archive.findFile(std::string(kThemeConfigName));
    IniFile ini =
        IniFile::load(config ? staging + "/" + archive.entries()[*config].name : configPath);
    ini.writeString("Style", "index", "0");
    ini.writeString("Files", "startup", "\\tivora.htm");
    writeFileAtomically(configPath, ini.text());

    tTheme theme;
    theme.Name = ini.readString("Name", "ThemeName", "Nameless");
    theme.Author = ini.readString("Author", "ThemeAuthor", "Unknown");
    theme.Description = ini.readString("Description", "Description", "None");
    theme.Flash.Width = ReadIniInteger(ini, "FlashFile", "DefaultWidth(in percents)", 100);
    theme.Flash.Height = ReadIniInteger(ini, "FlashFile", "DefaultHeight(in percents)", 100);
    theme.Flash.Quality = ReadIniInteger(ini, "FlashFile", "Quality", 2);
    theme.Flash.BgColor = ini.readString("FlashFile", "bgcolor", "000000");
    const std::string movie = ini.readString("Files", "FlashMovie", "NoneFile");
    const std::string css = ini.readString("Files", "css", "NoneFile");

    const ScreenSize desktop = context.desktopSize ? context.desktopSize() : ScreenSize{};
    writeFileAtomically(staging + "/" + kStartPageName,
                        ConvertedStartPageText(theme, movie, css, desktop));

    // theme.cfg names the style sheet and the movie: only files inside the unpacked package
    // are packed, each once, under its bare name.
    std::vector<ZipInput> inputs;
    std::unordered_set<std::string> names;
    for (const std::string& stored :
         {std::string(kThemeConfigName), std::string(kStartPageName), css, movie}) {
        const std::string relative = withSlashes(stored);
        if (!unsafeEntryNameReason(relative).empty() || relative.back() == '/') continue;
        const std::string file = staging + "/" + relative;
        std::string name(FileNameOf(relative));
        if (!isRegularFile(file) || !names.insert(name).second) continue;
        inputs.push_back(ZipInput::file(std::move(name), file));
    }
    try {
        writeZipArchive(path, inputs, context.processEvents);
    } catch (const ZipError&) {
        return false;
    }
    return true;
}

}  // namespace velluma
