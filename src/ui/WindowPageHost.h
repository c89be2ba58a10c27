#pragma once

#include "ui/PageHost.h"

namespace velluma {

class TfMain;
class HelpAndLinks;
struct AppContext;

/// The main window as its pages see it.
class WindowPageHost final : public PageHost {
public:
    WindowPageHost(TfMain& window, AppContext& context, HelpAndLinks& links)
        : m_window(window), m_context(context), m_links(links) {}

    QString text(const char* section, const char* key) const override;
    bool guard(const std::function<void()>& body) override;
    Settings& settings() override;
    Platform& platform() override;
    ThemeContext& themes() override;
    TRAgent& agent() override;
    ThemeList* themeList() const override;
    ListLibrary* listLibrary() const override;
    PictureView* pictureView() const override;
    void watchHover(QWidget* control) override;
    void showStatusMessage(const QString& message) override;
    void showStatusText(const QString& text) override;
    void clearHintMark() override;
    void UpdateStatusBar() override;
    void pressSelector(int tag) override;
    void showPage(int index) override;
    ReportPage* reportPage() override;
    void openLink(const std::string& address) override;
    void showPicture(const std::string& path) override;
    void tbbONOFFPM00Click() override;
    void tbbONOFFPM01Click() override;

private:
    TfMain& m_window;
    AppContext& m_context;
    HelpAndLinks& m_links;
};

}  // namespace velluma
