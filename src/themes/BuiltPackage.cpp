#include "themes/BuiltPackage.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace velluma {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kMaxFileName = 255;  // bytes, as Linux file systems allow
// Entries carried over from an existing package are held in memory while it is rewritten.
constexpr std::uint64_t kMaxCarriedBytes = std::uint64_t(256) << 20;

constexpr std::array<std::string_view, 4> kPageFiles{"index.htm", "theme.cfg", "resol.js",
                                                     "css.css"};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool hasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

std::string BuiltThemeConfigText(std::string_view name, std::string_view author,
                                 std::string_view description) {
    // A line of the description that starts a section would become the first of that
    // section and take over the theme's settings; as a comment it is kept but never read.
    std::string guarded;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = description.find('\n', start);
        const std::string_view line =
            description.substr(start, end == std::string_view::npos ? end : end - start);
        if (start > 0) {
            std::size_t first = 0;
            while (first < line.size() && (isBlank(line[first]) || line[first] == '\r')) ++first;
            if (first < line.size() && line[first] == '[') guarded += ';';
        }
        guarded += line;
        if (end == std::string_view::npos) break;
        guarded += '\n';
        start = end + 1;
    }

    // Name and author are one line each; a line break in them would add lines of its own.
    const auto oneLine = [](std::string_view value) {
        std::string line(value);
        for (char& c : line)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
        return line;
    };

    std::string text;
    const auto add = [&](std::string_view line, bool last = false) {
        text += line;
        if (!last) text += kCrLf;
    };
    add("[Name]");
    add("ThemeName=" + oneLine(name));
    add("[Author]");
    add("ThemeAuthor=" + oneLine(author));
    add("[Style]");
    add("index=0");
    add("[Description]");
    add("Description=" + guarded);
    add("[Files]");
    add("startup=\\index.htm", true);
    return text;
}

std::string ThemeNameProblem(std::string_view name) {
    if (std::all_of(name.begin(), name.end(), [](char c) { return isBlank(c); }))
        return "Please give the theme a name.";
    if (name.find('/') != std::string_view::npos)
        return "A theme name cannot contain \"/\": it names the theme's package file.";
    if (hasControl(name)) return "A theme name cannot contain control characters or line breaks.";
    if (name.size() + 4 > kMaxFileName) return "The theme name is too long to name a file.";
    return {};
}

std::string CompanionNameProblem(std::string_view fileName) {
    if (fileName.find('"') != std::string_view::npos || hasControl(fileName))
        return "The file name \"" + std::string(fileName) +
               "\" cannot go into a theme page: it holds a quotation mark or a control "
               "character. Please rename the file.";
    for (std::string_view own : kPageFiles)
        if (sameName(fileName, own))
            return "The file name \"" + std::string(fileName) +
                   "\" is taken by the theme's own page files. Please rename the file.";
    return {};
}

std::vector<ZipInput> BuiltPackageEntries(const BuiltThemeFiles& files) {
    const std::string& f = files.filesFolder;
    std::vector<ZipInput> entries;
    entries.push_back(ZipInput::file("index.htm", f + "/index.htm"));
    entries.push_back(ZipInput::data("theme.cfg", files.themeConfig));
    entries.push_back(ZipInput::file(files.movieName, f + "/" + files.movieName));
    if (!files.pictureName.empty())
        entries.push_back(ZipInput::file(files.pictureName, f + "/" + files.pictureName));
    entries.push_back(ZipInput::file("resol.js", f + "/resol.js"));
    entries.push_back(ZipInput::file("css.css", f + "/css.css"));
    return entries;
}

void PackBuiltTheme(const std::string& packagePath, const BuiltThemeFiles& files,
                    const ProgressHook& progress) {
    std::vector<ZipInput> entries = BuiltPackageEntries(files);
    struct stat info {};
    if (::lstat(packagePath.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            throw ZipError(quoted(packagePath) + " exists and is not a theme package.");
        const std::size_t built = entries.size();
        const auto replaced = [&](const std::string& name) {
            return std::any_of(entries.begin(), entries.begin() + static_cast<long>(built),
                               [&](const ZipInput& e) { return sameName(e.name, name); });
        };
        try {
            const ZipReader old = ZipReader::openFile(packagePath);
            std::uint64_t carried = 0;
            for (std::size_t i = 0; i < old.entries().size(); ++i) {
                const ZipEntry& entry = old.entries()[i];
                // Folders come back with their files; links are never unpacked anyway.
                if (entry.type != ZipEntry::Type::File || replaced(entry.name)) continue;
                std::string bytes = old.read(i, kMaxCarriedBytes - carried);
                carried += bytes.size();
                entries.push_back(ZipInput::data(entry.name, std::move(bytes)));
            }
        } catch (const ZipError& e) {
            throw ZipError("A theme package of this name exists and cannot be updated: " +
                           std::string(e.what()));
        }
    } else if (errno != ENOENT) {
        throw ZipError(quoted(packagePath) + " cannot be written.");
    }
    writeZipArchive(packagePath, entries, progress);
}

}  // namespace velluma
