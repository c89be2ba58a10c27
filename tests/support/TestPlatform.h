#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace velluma::test {

/// A screen whose size the test sets.
class FakeScreen final : public Screen {
public:
    ScreenSize size{1024, 768};
    int reads = 0;
    ScreenSize virtualDesktopSize() override {
        ++reads;
        return size;
    }
};

/// A clock the test moves by hand.
class FakeClock final : public Clock {
public:
    std::uint32_t now = 1000;
    std::uint32_t tickCount() override { return now; }
};

/// Records every message box; answers from a queue of next answers (default Ok / Yes).
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        std::string caption;
        MessageIcon icon;
        MessageButtons buttons;
    };
    std::vector<Shown> shown;
    std::deque<MessageAnswer> nextAnswers;

    MessageAnswer show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons) override;
};

/// Records what the shell was asked to do.
class RecordingShell final : public Shell {
public:
    struct Opened {
        std::string target;
        ShowMode mode;
        OpenFailed failedLater;  // a test runs it to stand for the opener giving up
    };
    std::vector<Opened> opened;
    int displaySettingsOpened = 0;
    int openResult = kShellSuccess;
    std::string displaySettingsError;  // thrown by openDisplaySettings when not empty
    std::string startupFolder;

    int open(const std::string& target, ShowMode mode, OpenFailed failedLater = {}) override;
    void openDisplaySettings() override;
    void createShortcut(const std::string& target, const std::string& arguments,
                        const std::string& workingFolder, const std::string& linkPath) override;
    std::string defaultStartupFolder() override { return startupFolder; }
};

/// Answers file dialogs from a queue of next answers (none left: the user cancels) and
/// records what each dialog was opened with.
class NextAnswerFileDialogs final : public FileDialogs {
public:
    struct Asked {
        std::string title;
        std::string filter;
        std::string folder;
    };
    std::vector<Asked> asked;
    std::deque<std::vector<std::string>> nextAnswers;

    std::vector<std::string> getOpenFileNames(const std::string& title, const std::string& filter,
                                              const std::string& folder) override;
};

/// Answers colour dialogs from a queue of next answers (none left: the user cancels) and
/// records the colour each dialog started from.
class NextAnswerColourDialog final : public ColourDialog {
public:
    std::vector<Rgb> asked;
    std::deque<std::optional<Rgb>> nextAnswers;

    std::optional<Rgb> chooseColour(const std::string& title, Rgb initial) override;
};

/// A platform of doubles with a real file registry in registryFolder; the wallpaper
/// refresh records its calls.
Platform makeTestPlatform(const std::string& registryFolder);

}  // namespace velluma::test
