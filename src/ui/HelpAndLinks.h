#pragma once

#include <QObject>
#include <string>

class QWidget;

namespace velluma {

struct Platform;
class HelpWindow;
class TLanguage;

/// What the window opens outside itself: the user guide, web addresses and the desktop's
/// display settings. A guide that no program opens shows in a window of our own; an address
/// that nothing opens is named in a message.
class HelpAndLinks final : public QObject {
    Q_OBJECT
public:
    /// installFolder holds the guides.
    HelpAndLinks(QWidget& window, Platform& platform, const TLanguage& language,
                 const std::string& installFolder);

    /// The current language's guide.
    std::string helpFilePath() const;
    void OpenHelpFile();
    void OpenDisplaySettings();
    /// Opens a web address with the desktop's browser.
    void openLink(const std::string& address);

private:
    void showHelpWindow(const std::string& path);
    void linkRefused(const std::string& address);

    QWidget& m_window;
    Platform& m_platform;
    const TLanguage& m_language;
    const std::string& m_installFolder;
    HelpWindow* m_helpWindow = nullptr;  // the guide, where no program opens it
};

}  // namespace velluma
