#include "ui/WindowPageHost.h"

#include "control/DesktopController.h"
#include "ui/HelpAndLinks.h"
#include "ui/MainWindow.h"
#include "ui/StatusLine.h"

namespace velluma {

QString WindowPageHost::text(const char* section, const char* key) const {
    return m_window.text(section, key);
}
bool WindowPageHost::guard(const std::function<void()>& body) {
    return m_window.guard(body);
}
Settings& WindowPageHost::settings() {
    return m_context.settings;
}
Platform& WindowPageHost::platform() {
    return m_context.platform;
}
ThemeContext& WindowPageHost::themes() {
    return m_context.themes;
}
TRAgent& WindowPageHost::agent() {
    return m_context.agent;
}
ThemeList* WindowPageHost::themeList() const {
    return m_window.desktop().themeList();
}
ListLibrary* WindowPageHost::listLibrary() const {
    return m_window.desktop().listLibrary();
}
PictureView* WindowPageHost::pictureView() const {
    return m_window.desktop().pictureView();
}
void WindowPageHost::watchHover(QWidget* control) {
    m_window.statusLine().watchHover(control);
}
void WindowPageHost::showStatusMessage(const QString& message) {
    m_window.statusLine().showStatusMessage(message);
}
void WindowPageHost::showStatusText(const QString& text) {
    m_window.statusLine().showStatusText(text);
}
void WindowPageHost::clearHintMark() {
    m_window.statusLine().clearHintMark();
}
void WindowPageHost::UpdateStatusBar() {
    m_window.statusLine().UpdateStatusBar();
}
void WindowPageHost::pressSelector(int tag) {
    m_window.pressSelector(tag);
}
void WindowPageHost::showPage(int index) {
    m_window.showPage(index);
}
ReportPage* WindowPageHost::reportPage() {
    return m_window.reportPage();
}
void WindowPageHost::openLink(const std::string& address) {
    m_links.openLink(address);
}
void WindowPageHost::showPicture(const std::string& path) {
    m_window.desktop().showPicture(path);
}
void WindowPageHost::tbbONOFFPM00Click() {
    m_window.desktop().tbbONOFFPM00Click();
}
void WindowPageHost::tbbONOFFPM01Click() {
    m_window.desktop().tbbONOFFPM01Click();
}

}  // namespace velluma
