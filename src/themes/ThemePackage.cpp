#include "themes/ThemePackage.h"

#include <sys/stat.h>

#include "formats/IniFile.h"
#include "platform/FileTools.h"
#include "themes/DesktopComponents.h"
#include "themes/FlashConversion.h"
#include "themes/ThemeConfig.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeDates.h"
#include "themes/ThemeFiles.h"
#include "themes/ThemeList.h"
#include "themes/ZipArchive.h"

namespace velluma {
namespace {

constexpr std::string_view kPackageExtension = ".tvp";
constexpr int kMissingComponentsImage = 5;

std::string withPackageExtension(const std::string& path) {
    const std::size_t nameStart = path.size() - FileNameOf(path).size();
    const std::size_t dot = path.find_last_of('.');
    const std::string base =
        dot == std::string::npos || dot < nameStart ? path : path.substr(0, dot);
    return base + std::string(kPackageExtension);
}

std::string dateText(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "?";
    std::string text = ShortDateText(st.st_mtim.tv_sec);
    return text.empty() ? "?" : text;
}

// Windows would pass over a folder that carries any attribute besides "directory"; here
// that means links, hidden (dot) folders and folders the owner may not write.
bool isPlainFolder(const std::string& folder, const FolderEntry& entry) {
    if (!entry.plainFolder || entry.name.front() == '.') return false;
    struct stat st {};
    return ::lstat((folder + "/" + entry.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           (st.st_mode & S_IWUSR);
}

std::string withoutTrailingSlash(const std::string& folder) {
    std::string root = folder;
    if (!root.empty() && root.back() == '/') root.pop_back();
    return root;
}

ThemeRow packageRow(const TThemeInfo& info, const std::string& packagePath,
                    bool componentsInstalled) {
    ThemeRow row;
    row.caption = info.Name;
    row.date = dateText(packagePath);
    row.path = packagePath;
    row.imageIndex = componentsInstalled ? info.Style : kMissingComponentsImage;
    return row;
}

// Whether scanning a subfolder would import anything: any package in it or below.
bool holdsPackages(const std::string& folder) {
    for (const FolderEntry& entry : FolderEntries(folder)) {
        if (HasExtension(entry.name, kPackageExtension)) return true;
        if (entry.name != "Recycled" && isPlainFolder(folder, entry) &&
            holdsPackages(folder + "/" + entry.name))
            return true;
    }
    return false;
}

}  // namespace

bool ReadThemeInfo(const std::string& path, TThemeInfo& info) {
    std::string text;
    try {
        const ZipReader archive = ZipReader::openFile(path);
        const auto config = archive.findFile(std::string(kThemeConfigName));
        if (!config) return false;
        text = archive.read(*config, IniFile::kMaxFileSize);
    } catch (const ZipError&) {
        return false;
    }
    if (text.empty()) return false;
    const IniFile ini(text);
    info.Name = ini.readString("Name", "ThemeName", "No name");
    info.Style = HasIniSection(text, "Style")
                     ? static_cast<std::uint8_t>(ReadIniInteger(ini, "Style", "index", 0) & 0xff)
                     : kBareFlashStyle;
    return true;
}

bool AddThemePackage(ThemeContext& context, ThemeList& list, const std::string& currentTheme,
                     const std::string& path) {
    TThemeInfo info;
    if (!ReadThemeInfo(path, info)) return false;
    if (context.processEvents) context.processEvents();

    if (info.Style == kBareFlashStyle) {
        try {
            if (!ConvertFlashPackage(context, path)) return false;
        } catch (const std::exception&) {
            return false;  // a package that cannot be converted is skipped like an unreadable one
        }
        info.Style = 0;
    }

    // A row must name a file that holds this package and that the next scan lists.
    std::string packagePath = context.themeFolder() + "/" + std::string(FileNameOf(path));
    try {
        if (!HasExtension(packagePath, kPackageExtension)) {
            // Only .tvp files are listed: the copy gets that extension, under a name of its
            // own when the package name is taken, so no installed package is replaced.
            packagePath = CopyFileToFreeName(path, withPackageExtension(packagePath));
        } else if (path != packagePath) {
            CopyFileReplacing(path, packagePath);
        }
    } catch (const std::exception&) {
        return false;
    }

    const bool components =
        ActiveDesktopInstalled(context.registry) && FlashInstalled(context.registry);
    const int index = list.addRow(packageRow(info, packagePath, components));
    if (packagePath == currentTheme && !list.hasSelection()) list.selectRow(index);
    return true;
}

void ScanThemeFolder(ThemeContext& context, ThemeList& list, const std::string& currentTheme,
                     const std::string& folder) {
    const std::string root = withoutTrailingSlash(folder);
    for (const FolderEntry& entry : FolderEntries(root)) {
        if (entry.name != "Recycled" && isPlainFolder(root, entry))
            ScanThemeFolder(context, list, currentTheme, root + "/" + entry.name);
    }

    list.clear();
    const ThemeListUpdate update(list);
    for (const FolderEntry& entry : FolderEntries(root)) {
        if (HasExtension(entry.name, kPackageExtension))
            AddThemePackage(context, list, currentTheme, root + "/" + entry.name);
    }
}

std::optional<std::vector<std::string>> LibraryPackages(const std::string& folder) {
    const std::string root = withoutTrailingSlash(folder);
    std::vector<std::string> packages;
    for (const FolderEntry& entry : FolderEntries(root)) {
        if (entry.name != "Recycled" && isPlainFolder(root, entry) &&
            holdsPackages(root + "/" + entry.name))
            return std::nullopt;
        if (HasExtension(entry.name, kPackageExtension))
            packages.push_back(root + "/" + entry.name);
    }
    return packages;
}

PackageReading ReadPackageRow(const std::string& path, bool componentsInstalled, ThemeRow& row) {
    TThemeInfo info;
    if (!ReadThemeInfo(path, info)) return PackageReading::Skipped;
    if (info.Style == kBareFlashStyle) return PackageReading::MustConvert;
    row = packageRow(info, path, componentsInstalled);
    return PackageReading::Listed;
}

void ListThemeRows(ThemeList& list, const std::vector<ThemeRow>& rows,
                   const std::string& currentTheme) {
    list.clear();
    const ThemeListUpdate update(list);
    for (const ThemeRow& row : rows) {
        const int index = list.addRow(row);
        if (row.path == currentTheme && !list.hasSelection()) list.selectRow(index);
    }
}

bool RecycledHasThemes(const std::string& programFolder) {
    for (const FolderEntry& entry : FolderEntries(programFolder + "/advThemes/Recycled"))
        if (HasExtension(entry.name, kPackageExtension)) return true;
    return false;
}

}  // namespace velluma
