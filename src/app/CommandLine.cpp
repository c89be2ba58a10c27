#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#ifndef VELLUMA_VERSION
#error "VELLUMA_VERSION comes from the project's version in CMake"
#endif

namespace velluma {
namespace {

// Options QGuiApplication and QApplication take, with and without a value.
// clang-format off
constexpr std::array<std::string_view, 20> kQtWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
    "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
    "style", "stylesheet", "name", "title", "visual", "ncols", "cmap", "fn", "font"};
constexpr std::array<std::string_view, 5> kQtFlags{
    "reverse", "widgetcount", "nograb", "dograb", "sync"};
// clang-format on

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-h" || argument == "--help") return {CommandLine::Action::Help, {}};
        if (argument == "--version") return {CommandLine::Action::Version, {}};
        if (argument.size() < 2 || argument.front() != '-') {
            result = {CommandLine::Action::Error, "unexpected argument '" + argument + "'"};
            continue;
        }
        // Qt takes its options with one dash or two.
        std::string_view name(argument);
        name.remove_prefix(name.rfind("--", 0) == 0 ? 2 : 1);
        if (among(kQtFlags, name)) continue;
        if (among(kQtWithValue, name)) {
            if (i + 1 == arguments.size()) {
                result = {CommandLine::Action::Error, "option '" + argument + "' needs a value"};
            }
            ++i;
            continue;
        }
        result = {CommandLine::Action::Error, "unknown option '" + argument + "'"};
    }
    return result;
}

std::string helpText() {
    return "Usage: velluma [--help | --version]\n"
           "\n"
           "Keeps the desktop background in motion: an animated web-page theme as the live\n"
           "desktop background (theme mode) or a slide show of pictures (picture mode). Velluma\n"
           "lives in the notification area; started again, it brings its window to the front.\n"
           "\n"
           "Options:\n"
           "  -h, --help     print this help and exit\n"
           "  --version      print the version and exit\n"
           "Qt's own options (-platform, -display, -style and the like) are passed on to Qt.\n"
           "\n"
           "Files:\n"
           "  When the folder of the program file can be written, everything lives in it\n"
           "  (portable mode). Otherwise the settings (registry/), the themes (advThemes/) and\n"
           "  the image lists (imgLists/) live in $XDG_DATA_HOME/Velluma, by default\n"
           "  ~/.local/share/Velluma, laid out from the installed samples on the first run.\n";
}

std::string versionText() {
    return "Velluma " VELLUMA_VERSION "\n";
}

int answerCommandLine(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    const CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
        case CommandLine::Action::Run:
            return -1;
        case CommandLine::Action::Help:
            std::fputs(helpText().c_str(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::fputs(versionText().c_str(), stdout);
            return 0;
        case CommandLine::Action::Error:
            std::fprintf(stderr, "velluma: %s\nTry 'velluma --help' for more information.\n",
                         line.error.c_str());
            return 2;
    }
    return -1;
}

}  // namespace velluma
