#include "support/TestPlatform.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/posix/EmulatedActiveDesktop.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/RegistryWallpaperRefresh.h"

namespace velluma::test {

MessageAnswer RecordingMessageBoxes::show(const std::string& text, const std::string& caption,
                                          MessageIcon icon, MessageButtons buttons) {
    shown.push_back({text, caption, icon, buttons});
    if (!nextAnswers.empty()) {
        MessageAnswer a = nextAnswers.front();
        nextAnswers.pop_front();
        return a;
    }
    return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

int RecordingShell::open(const std::string& target, ShowMode mode, OpenFailed failedLater) {
    opened.push_back({target, mode, std::move(failedLater)});
    return openResult;
}

void RecordingShell::openDisplaySettings() {
    if (!displaySettingsError.empty()) throw std::runtime_error(displaySettingsError);
    ++displaySettingsOpened;
}

void RecordingShell::createShortcut(const std::string& target, const std::string&,
                                    const std::string& workingFolder, const std::string& linkPath) {
    std::filesystem::create_directories(std::filesystem::path(linkPath).parent_path());
    std::ofstream(linkPath) << target << "\n" << workingFolder << "\n";
}

std::vector<std::string> NextAnswerFileDialogs::getOpenFileNames(const std::string& title,
                                                                 const std::string& filter,
                                                                 const std::string& folder) {
    asked.push_back({title, filter, folder});
    if (nextAnswers.empty()) return {};
    std::vector<std::string> answer = std::move(nextAnswers.front());
    nextAnswers.pop_front();
    return answer;
}

std::optional<Rgb> NextAnswerColourDialog::chooseColour(const std::string&, Rgb initial) {
    asked.push_back(initial);
    if (nextAnswers.empty()) return std::nullopt;
    std::optional<Rgb> answer = nextAnswers.front();
    nextAnswers.pop_front();
    return answer;
}

Platform makeTestPlatform(const std::string& registryFolder) {
    Platform p;
    p.registry = std::make_unique<FileRegistry>(registryFolder);
    p.activeDesktop = std::make_unique<EmulatedActiveDesktop>(*p.registry);
    p.wallpaperRefresh = std::make_unique<RegistryWallpaperRefresh>(*p.registry);
    p.shell = std::make_unique<RecordingShell>();
    p.screen = std::make_unique<FakeScreen>();
    p.clock = std::make_unique<FakeClock>();
    p.messageBoxes = std::make_unique<RecordingMessageBoxes>();
    p.fileDialogs = std::make_unique<NextAnswerFileDialogs>();
    p.colourDialog = std::make_unique<NextAnswerColourDialog>();
    return p;
}

}  // namespace velluma::test
