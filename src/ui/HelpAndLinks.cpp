#include "ui/HelpAndLinks.h"

#include <QPointer>
#include <QWidget>

#include "core/ProgramFolder.h"
#include "language/Language.h"
#include "platform/Platform.h"
#include "ui/ErrorReport.h"
#include "ui/HelpWindow.h"

namespace velluma {

HelpAndLinks::HelpAndLinks(QWidget& window, Platform& platform, const TLanguage& language,
                           const std::string& installFolder)
    : QObject(&window),
      m_window(window),
      m_platform(platform),
      m_language(language),
      m_installFolder(installFolder) {}

std::string HelpAndLinks::helpFilePath() const {
    return programPath(m_installFolder, m_language.HelpFile());
}

void HelpAndLinks::OpenHelpFile() {
    const std::string path = helpFilePath();
    const QPointer<HelpAndLinks> self(this);
    const int result = m_platform.shell->open(path, ShowMode::Show, [self, path] {
        if (self) runGuarded(*self->m_platform.messageBoxes, [&] { self->showHelpWindow(path); });
    });
    if (result == kShellFileNotFound)
        m_platform.messageBoxes->show("Help file not found", "Tivora 2.00", MessageIcon::Error);
    else if (!shellOpened(result))
        showHelpWindow(path);
}

// A desktop without a browser still shows the guide: in a window of our own.
void HelpAndLinks::showHelpWindow(const std::string& path) {
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(&m_window);
        m_helpWindow->browser()->onWebLink = [this](const std::string& address) {
            runGuarded(*m_platform.messageBoxes, [&] { openLink(address); });
        };
    }
    if (!m_helpWindow->showGuide(path))
        m_platform.messageBoxes->show("Help file not found", "Tivora 2.00", MessageIcon::Error);
}

void HelpAndLinks::openLink(const std::string& address) {
    if (address.empty()) return;  // no address in links.ini: nothing to name either
    const QPointer<HelpAndLinks> self(this);
    const int result = m_platform.shell->open(address, ShowMode::Normal, [self, address] {
        if (self) runGuarded(*self->m_platform.messageBoxes, [&] { self->linkRefused(address); });
    });
    if (!shellOpened(result)) linkRefused(address);
}

void HelpAndLinks::linkRefused(const std::string& address) {
    m_platform.messageBoxes->show(m_language.text("MESSAGES", "nolink") + "\n" + address, "Velluma",
                                  MessageIcon::Warning);
}

void HelpAndLinks::OpenDisplaySettings() {
    m_platform.shell->openDisplaySettings();
}

}  // namespace velluma
