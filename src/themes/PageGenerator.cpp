#include "themes/PageGenerator.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/FileTools.h"
#include "themes/ThemeFiles.h"

namespace velluma {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kFlashClassId = "D27CDB6E-AE6D-11cf-96B8-444553540000";

void line(std::string& file, std::string_view text) {
    file += text;
    file += kCrLf;
}

std::string spaces(int count) {
    return std::string(static_cast<std::size_t>(count), ' ');
}

std::string integerText(long double rounded) {
    if (!std::isfinite(rounded)) return "0";
    if (std::fabs(rounded) >= 9.2e18L) {  // beyond 64 bits: no page is that large
        char buffer[64];
        auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, 0);
        return ec == std::errc() ? std::string(buffer, end) : "0";
    }
    return std::to_string(static_cast<long long>(rounded));
}

}  // namespace

std::string PageNumber(long double value) {
    if (!std::isfinite(value)) return "0";
    // 10000 and more would print in exponent form in four digits; a page needs the number.
    if (value == std::nearbyint(value) || std::fabs(value) >= 10000)
        return integerText(std::nearbyint(value));
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 4);
    return ec == std::errc() ? std::string(buffer, end) : "0";
}

long double MoviePixels(int desktopExtent, long double percent) {
    return std::nearbyint(static_cast<long double>(desktopExtent) * percent / 100);
}

int PlacementPercent(int edge, int extent) {
    if (extent == 0) return 0;
    const float percent = static_cast<float>(edge) / static_cast<float>(extent) * 100.0f;
    const float rounded = std::nearbyint(percent);
    if (!(std::fabs(rounded) < 2.0e9f)) return 0;
    return static_cast<int>(rounded);
}

std::string ColourText(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", red, green, blue);
    return buffer;
}

void WriteFlashBlock(std::string& file, const tTheme& theme, const std::string& movie, int left,
                     int top, ScreenSize desktop) {
    const std::string pw = PageNumber(MoviePixels(desktop.width, theme.Flash.Width));
    const std::string ph = PageNumber(MoviePixels(desktop.height, theme.Flash.Height));
    const std::string_view quality = QualityName(theme.Flash.Quality);
    const std::string& bg = theme.Flash.BgColor;
    const bool withBg = !bg.empty() && bg != "000000";

    if (theme.Name == "js") {
        line(file, "<script language=\"JavaScript\">");
        line(file, "<!--");
        line(file, "document.writeln('<object classid=\"clsid:" + std::string(kFlashClassId) +
                       "\" codebase=\"" + kFlashCabinet + "\"');");
        line(file, "WriteLT(" + std::to_string(left) + "," + std::to_string(top) + ")");
        line(file, "WriteWH(" + PageNumber(theme.Flash.Width) + "," +
                       PageNumber(theme.Flash.Height) + ")");
        line(file, "document.writeln('>');");
        line(file, "//-->");
        line(file, "</script>");
    } else {
        line(file, "<object ");
        line(file, "classid=\"clsid:" + std::string(kFlashClassId) + "\"");
        line(file, "codebase=\"" + std::string(kFlashCabinet) + "\"");
        line(file, "WIDTH=\"" + pw + "\" HEIGHT=\"" + ph + "\">");
    }
    line(file, "<param name=movie value=\"" + movie + "\">");
    line(file, "<param name=quality value=" + std::string(quality) + ">");
    line(file, "<param name=menu value=false>");
    if (withBg) line(file, "<param name=bgcolor value=" + bg + ">");
    line(file, "<embed src=\"" + movie + "\" quality=" + std::string(quality) + " menu=false");
    if (withBg) line(file, "bgcolor=" + bg + " ");
    line(file, "pluginspage=\"" + std::string(kFlashPluginsPage) +
                   "\" type=\"application/x-shockwave-flash\" width=\"" + pw + "\" height=\"" + ph +
                   "\"></embed></object>");
}

std::string IndexPageText(const BuilderInputs& page, ScreenSize desktop) {
    const std::string colour = ColourText(page.red, page.green, page.blue);
    std::string file;
    line(file, "<html>");
    line(file, "<head>");
    line(file, "<SCRIPT language=JavaScript src=\"resol.js\"> </SCRIPT>");
    line(file, "<style>");
    line(file, "@import url(\"css.css\");");
    line(file, "body{background-color:" + colour + ";}");
    line(file, "</style>");
    line(file, "</head>");
    line(file, "<body>");
    if (!page.picturePath.empty())
        line(file, "<img src=\"" + std::string(FileNameOf(page.picturePath)) +
                       "\" width=100% height=100%>");
    tTheme theme;
    theme.Name = "js";
    theme.Flash = {page.widthPercent, page.heightPercent, page.quality, colour};
    WriteFlashBlock(file, theme, std::string(FileNameOf(page.moviePath)),
                    PlacementPercent(page.frameLeft, page.areaWidth),
                    PlacementPercent(page.frameTop, page.areaHeight), desktop);
    line(file, "</body>");
    line(file, "</html>");
    return file;
}

std::string ResolScriptText() {
    struct Line {
        int lead;
        int trail;
        std::string_view text;
    };
    static constexpr Line kLines[] = {
        {0, 0, "var height=0;"},
        {14, 0, "var width=0;"},
        {14, 0, "if (self.screen)"},
        {14, 0, "{width = screen.width;"},
        {14, 0, "height = screen.height;"},
        {14, 0, "}else"},
        {14, 0, "if (self.java)"},
        {14, 16, "{"},
        {16, 0, "var jkit = java.awt.Toolkit.getDefaultToolkit();"},
        {16, 0, "var scrsize = jkit.getScreenSize();"},
        {16, 0, "width = scrsize.width;"},
        {16, 0, "height = scrsize.height; }"},
        {16, 0, "function WriteWH(PW, PH){"},
        {16, 0, "var w = PW/100*width;"},
        {16, 2, "var h = PH/100*height;"},
        {16, 0, "document.writeln(\"WIDTH=\",w,\" HEIGHT=\",h);"},
        {16, 0, "return true;"},
        {16, 0, "}"},
        {16, 0, "function WriteLT(PL, PT){"},
        {16, 0, "var l = PL/100*width;"},
        {16, 2, "var t = PT/100*height;"},
        {16, 0, "document.writeln(\" style='left:\",l,\";top:\",t,\";' \");"},
        {16, 0, "return true;"},
        {16, 0, "}"},
    };
    std::string file;
    for (const Line& l : kLines) line(file, spaces(l.lead) + std::string(l.text) + spaces(l.trail));
    return file;
}

std::string StyleSheetText(const BuilderInputs& page) {
    const std::string colour = ColourText(page.red, page.green, page.blue);
    // One written line: the inner breaks are single CRs.
    const std::string parts[] = {
        "body{",
        "\tbackground-color: " + colour + ";",
        "\tbackground-position: center;",
        "\tbackground-repeat: no-repeat;",
        "\tborder: 0px;",
        spaces(8) + "margin-top :0px;",
        spaces(8) + "margin-left :0px;",
        spaces(7) + "margin-right:0px;",
        spaces(8) + "margin-bottom:0px;",
        "}",
        "img{",
        "position: absolute;\tleft: 0;",
        "\tright: 0;",
        "}",
        "object{",
        "position: absolute;\tborder: 0px;",
        "",
        spaces(8) + "margin-top :0px;",
        spaces(8) + "margin-left :0px;" + spaces(2),
        spaces(8) + "margin-right:0px;" + spaces(5),
        spaces(8) + "margin-bottom:0px;" + spaces(7),
        "}",
    };
    std::string text = parts[0];
    for (std::size_t i = 1; i < std::size(parts); ++i) {
        text += '\r';
        text += parts[i];
    }
    std::string file;
    line(file, text);
    return file;
}

std::string ConvertedStartPageText(const tTheme& theme, const std::string& movie,
                                   const std::string& css, ScreenSize desktop) {
    std::string file;
    line(file, "<html>");
    line(file, "<head>");
    line(file, "<style>");
    line(file, "@import url(\"" + css + "\");");
    line(file, "body{background-color:#" + theme.Flash.BgColor + ";}");
    line(file, "</style>");
    line(file, "</head>");
    line(file, "<body>");
    WriteFlashBlock(file, theme, movie, 0, 0, desktop);
    line(file, "</body>");
    line(file, "</html>");
    return file;
}

std::string StagingFilesFolder(const std::string& programFolder, const std::string& stagingName) {
    return programFolder + "/advThemes/WorkDir/" + stagingName + "/Files";
}

void WriteIndexPage(const std::string& programFolder, const std::string& stagingName,
                    const BuilderInputs& page, ScreenSize desktop) {
    writeFileAtomically(StagingFilesFolder(programFolder, stagingName) + "/index.htm",
                        IndexPageText(page, desktop));
}

void WriteResolScript(const std::string& programFolder, const std::string& stagingName) {
    writeFileAtomically(StagingFilesFolder(programFolder, stagingName) + "/resol.js",
                        ResolScriptText());
}

void WriteStyleSheet(const std::string& programFolder, const std::string& stagingName,
                     const BuilderInputs& page) {
    writeFileAtomically(StagingFilesFolder(programFolder, stagingName) + "/css.css",
                        StyleSheetText(page));
}

}  // namespace velluma
