// Builds the sample theme packages that installation lays into advThemes, so that theme
// mode has something to show on its first use.
//
// usage: velluma_make_samples <folder of the page themes' sources> <output folder>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/RegularFile.h"
#include "platform/AtomicFile.h"
#include "themes/BuiltPackage.h"
#include "themes/PageGenerator.h"
#include "themes/ZipArchive.h"
#include "tools/SwfWriter.h"
#include "tools/samples/PetalOrbit.h"

namespace fs = std::filesystem;

namespace velluma {
namespace {

// Style indexes as the language files name them.
enum Style : int { Classic = 0, Abstract = 1, Nature = 2, Technology = 3, Other = 4 };

struct Sample {
    std::string name;  // also the package's file name
    std::string author;
    int style;
    std::string description;
    std::string sourceFolder;  // below the sources folder; empty for the Flash theme
};

Sample petalOrbit() {
    return {"Petal Orbit", "Velluma", Abstract,
            "Three rings of translucent petals turn slowly against each other while lanterns "
            "rise through a starry indigo sky.",
            ""};
}

std::vector<Sample> pageSamples() {
    return {
        {"Aurora Veil", "Velluma", Nature,
         "Curtains of northern light ripple above a quiet mountain ridge under a twinkling sky.",
         "aurora-veil"},
        {"Dusk Tide", "Velluma", Nature,
         "Warm dusk over a calm sea: the sun sinks into glowing haze as soft waves roll in.",
         "dusk-tide"},
    };
}

// One date for every entry, so that a rebuild writes the same bytes: 2024-05-01 12:00.
constexpr std::uint16_t kDosDate = (2024 - 1980) << 9 | 5 << 5 | 1;
constexpr std::uint16_t kDosTime = 12 << 11;
constexpr std::uint32_t kFileMode = 0100644;  // a regular file, readable by all

// theme.cfg laid out line for line as the builder writes it, with the sample's style.
std::string themeConfig(const Sample& sample) {
    std::string text;
    text += "[Name]\r\nThemeName=" + sample.name + "\r\n";
    text += "[Author]\r\nThemeAuthor=" + sample.author + "\r\n";
    text += "[Style]\r\nindex=" + std::to_string(sample.style) + "\r\n";
    text += "[Description]\r\nDescription=" + sample.description + "\r\n";
    text += "[Files]\r\nstartup=\\index.htm";
    return text;
}

std::string readFile(const std::string& path) {
    std::string bytes;
    if (!readWholeFile(path, bytes)) throw std::runtime_error("cannot read " + path);
    return bytes;
}

// Our text files end their lines with CR LF, whatever the checkout did to the sources.
std::string withCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 20);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

bool isText(const fs::path& path) {
    const std::string ext = path.extension().string();
    return ext == ".htm" || ext == ".html" || ext == ".js" || ext == ".css";
}

std::uint32_t le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b.at(at + i));
    return v;
}

void put16(std::string& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<char>(v & 0xff);
    b.at(at + 1) = static_cast<char>(v >> 8);
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    put16(b, at, static_cast<std::uint16_t>(v & 0xffff));
    put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// The archive writer stamps entries with the time of packing and the staged files' modes;
// give every entry the same date and mode instead.
void settleArchive(const std::string& path) {
    std::string zip = readFile(path);
    // The end record has no comment: it is the last 22 bytes.
    const std::size_t end = zip.size() - 22;
    if (zip.size() < 22 || le32(zip, end) != 0x06054b50)
        throw std::runtime_error(path + ": unexpected archive layout");
    const std::size_t entries =
        static_cast<unsigned char>(zip[end + 10]) | static_cast<unsigned char>(zip[end + 11]) << 8;
    std::size_t at = le32(zip, end + 16);
    for (std::size_t i = 0; i < entries; ++i) {
        if (le32(zip, at) != 0x02014b50)
            throw std::runtime_error(path + ": unexpected archive layout");
        const auto u16at = [&](std::size_t p) {
            return std::size_t(static_cast<unsigned char>(zip[p])) |
                   std::size_t(static_cast<unsigned char>(zip[p + 1])) << 8;
        };
        put16(zip, at + 12, kDosTime);
        put16(zip, at + 14, kDosDate);
        if (zip[at + 5] == 3)  // made on Unix: the high half holds the mode
            put32(zip, at + 38, kFileMode << 16);
        const std::size_t local = le32(zip, at + 42);
        if (le32(zip, local) != 0x04034b50)
            throw std::runtime_error(path + ": unexpected archive layout");
        put16(zip, local + 10, kDosTime);
        put16(zip, local + 12, kDosDate);
        at += 46 + u16at(at + 28) + u16at(at + 30) + u16at(at + 32);
    }
    writeFileAtomically(path, zip);
}

// The Flash theme goes through the builder's own steps: the movie and the generated pages
// staged in a "Files" folder, then packed the way the create command packs them.
void makeFlashTheme(const std::string& outputFolder) {
    const std::string stagingRoot = outputFolder + "/.staging";
    const std::string stagingName = "petal-orbit";
    const std::string files = StagingFilesFolder(stagingRoot, stagingName);
    fs::remove_all(stagingRoot);
    fs::create_directories(files);

    const std::string movieName = "petal-orbit.swf";
    writeFileAtomically(files + "/" + movieName, WriteSwf(PetalOrbitMovie()));

    // Full screen from the top left corner, quality "high" as the builder starts with, and
    // the movie's own backdrop colour around it. The page sizes the movie from the screen
    // when it is shown; the size given here only fills the embed's fallback attributes.
    BuilderInputs page;
    page.red = kPetalOrbitBackdrop.red;
    page.green = kPetalOrbitBackdrop.green;
    page.blue = kPetalOrbitBackdrop.blue;
    page.moviePath = files + "/" + movieName;
    page.widthPercent = 100;
    page.heightPercent = 100;
    page.quality = 4;
    page.frameLeft = 0;
    page.frameTop = 0;
    page.areaWidth = 221;  // the builder's preview area
    page.areaHeight = 137;
    const ScreenSize desktop{1920, 1080};
    WriteStyleSheet(stagingRoot, stagingName, page);
    WriteResolScript(stagingRoot, stagingName);
    WriteIndexPage(stagingRoot, stagingName, page, desktop);

    const Sample sample = petalOrbit();
    const std::string package = outputFolder + "/" + sample.name + ".tvp";
    // The packer adds to an existing package of the same name; start from none.
    fs::remove(package);
    PackBuiltTheme(package, {files, movieName, "", themeConfig(sample)});
    settleArchive(package);
    fs::remove_all(stagingRoot);
}

// A page theme: its start page first and theme.cfg second, as the builder orders them,
// then the rest of its folder by name.
void makePageTheme(const std::string& sourcesFolder, const Sample& sample,
                   const std::string& outputFolder) {
    const fs::path folder = fs::path(sourcesFolder) / sample.sourceFolder;
    std::vector<fs::path> rest;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        if (entry.path().filename() != "index.htm") rest.push_back(entry.path());
    }
    std::sort(rest.begin(), rest.end());

    const auto content = [](const fs::path& path) {
        const std::string bytes = readFile(path.string());
        return isText(path) ? withCrLf(bytes) : bytes;
    };
    std::vector<ZipInput> entries;
    entries.push_back(ZipInput::data("index.htm", content(folder / "index.htm")));
    entries.push_back(ZipInput::data("theme.cfg", themeConfig(sample)));
    for (const fs::path& path : rest)
        entries.push_back(ZipInput::data(path.filename().string(), content(path)));

    const std::string package = outputFolder + "/" + sample.name + ".tvp";
    writeZipArchive(package, entries);
    settleArchive(package);
}

}  // namespace
}  // namespace velluma

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <page theme sources> <output folder>\n", argv[0]);
        return 2;
    }
    try {
        const std::string sources = argv[1], output = argv[2];
        fs::create_directories(output);
        velluma::makeFlashTheme(output);
        for (const velluma::Sample& sample : velluma::pageSamples())
            velluma::makePageTheme(sources, sample, output);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velluma_make_samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
