#include "ui/WindowPageHost.h"

#include "ui/MainWindow.h"

namespace velluma {

QString WindowPageHost::text(const char* section, const char* key) const {
    return m_window.text(section, key);
}
bool WindowPageHost::guard(const std::function<void()>& body) {
    return m_window.guard(body);
}
Settings& WindowPageHost::settings() {
    return m_window.settings();
}
Platform& WindowPageHost::platform() {
    return m_window.platform();
}
ThemeContext& WindowPageHost::themes() {
    return m_window.themes();
}
TRAgent& WindowPageHost::agent() {
    return m_window.agent();
}
ThemeList* WindowPageHost::themeList() const {
    return m_window.themeList();
}
ListLibrary* WindowPageHost::listLibrary() const {
    return m_window.listLibrary();
}
PictureView* WindowPageHost::pictureView() const {
    return m_window.pictureView();
}
void WindowPageHost::watchHover(QWidget* control) {
    m_window.watchHover(control);
}
void WindowPageHost::showStatusMessage(const QString& message) {
    m_window.showStatusMessage(message);
}
void WindowPageHost::showStatusText(const QString& text) {
    m_window.showStatusText(text);
}
void WindowPageHost::clearHintMark() {
    m_window.clearHintMark();
}
void WindowPageHost::UpdateStatusBar() {
    m_window.UpdateStatusBar();
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
    m_window.openLink(address);
}
void WindowPageHost::showPicture(const std::string& path) {
    m_window.showPicture(path);
}
void WindowPageHost::tbbONOFFPM00Click() {
    m_window.tbbONOFFPM00Click();
}
void WindowPageHost::tbbONOFFPM01Click() {
    m_window.tbbONOFFPM01Click();
}

}  // namespace velluma
