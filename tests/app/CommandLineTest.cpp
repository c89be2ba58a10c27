#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace velluma {
namespace {

using Action = CommandLine::Action;

TEST(CommandLineTest, ArgumentsGiveTheirAction) {
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        const char* error;
    };
    const Case cases[] = {
        {{}, Action::Run, ""},
        {{"--help"}, Action::Help, ""},
        {{"-h"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"-platform", "offscreen", "--version"}, Action::Version, ""},
        // Qt's own options and their values are Qt's.
        {{"-platform", "offscreen"}, Action::Run, ""},
        {{"--display", ":1", "-reverse", "-session", "abc"}, Action::Run, ""},
        {{"--verison"}, Action::Error, "unknown option '--verison'"},
        {{"-v"}, Action::Error, "unknown option '-v'"},
        {{"picture.jpg"}, Action::Error, "unexpected argument 'picture.jpg'"},
        {{"-"}, Action::Error, "unexpected argument '-'"},
        {{"-style"}, Action::Error, "option '-style' needs a value"},
        {{"--bogus", "--help"}, Action::Help, ""},  // help is always given
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments);
        std::string joined;
        for (const std::string& a : c.arguments) joined += a + " ";
        EXPECT_EQ(line.action, c.action) << joined;
        EXPECT_EQ(line.error, c.error) << joined;
    }
}

TEST(CommandLineTest, TextsNameTheProgramAndItsVersion) {
    EXPECT_EQ(helpText().rfind("Usage: velluma", 0), 0u);
    EXPECT_NE(helpText().find("~/.local/share/Velluma"), std::string::npos);
    EXPECT_EQ(versionText(), "Velluma " VELLUMA_VERSION "\n");
}

}  // namespace
}  // namespace velluma
