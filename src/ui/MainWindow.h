#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "language/Language.h"

class QAction;
class QLabel;
class QStackedWidget;
class QToolButton;

namespace velluma {

struct Platform;
struct Settings;
struct ThemeContext;
class TRAgent;
class TfAbout;
class MainWindowPage;
class PageHost;
class ThemeLibraryPage;
class LibraryReadAhead;
class ImageListPage;
class OptionsPage;
class BuilderPage;
class ReportPage;
class DesktopController;
class StatusLine;
class TrayIcon;
class MainToolBar;
class MainMenu;
class HelpAndLinks;

/// Everything the main window works with, owned by the program for the whole run.
struct AppContext {
    Platform& platform;
    Settings& settings;
    std::vector<TMLang>& languages;
    TRAgent& agent;
    ThemeContext& themes;
};

/// The main window: the page selector and the five pages, the tool bar, the status line,
/// the tray icon and the main menu, each a part of its own; the window puts them together,
/// exchanges the settings with their controls and hides to the tray.
class TfMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfMain(AppContext& context, QWidget* parent = nullptr);
    ~TfMain() override;

    TLanguage& language() { return m_language; }
    /// The current language's text of a key.
    QString text(const char* section, const char* key) const;

    ThemeLibraryPage* themePage() const { return m_themePage; }
    ImageListPage* listPage() const { return m_listPage; }
    /// Pages 3 and 4 are built when first shown or asked for here.
    BuilderPage* builderPage();
    ReportPage* reportPage();
    /// On/off, the mode and the rotations.
    DesktopController& desktop() const { return *m_desktop; }
    StatusLine& statusLine() const { return *m_status; }
    TrayIcon& tray() const { return *m_tray; }

    /// Presses a page-selector button by Tag (0 ... 3).
    void pressSelector(int tag);
    /// Shows a page by index (0 ... 4) without a selector button.
    void showPage(int index);

    // Window events and commands, by their established names.
    void FormShow();
    void FormClose();
    void FormResize();
    void b5Click(QObject* sender);
    void HideToTray();
    void RestoreFromTray();
    void SettingsToControls();
    void ControlsToSettings();
    void ApplyLanguage();
    void LangItemClick(QAction* item);
    /// A main-menu command by its Tag.
    void OtherItemClick(int tag);

    /// The end of the user's session: put the user's background back, then close. Nothing
    /// on the way waits for the user; a failure goes to standard error and to the next
    /// start.
    void sessionEnding();

    /// Runs a step of the program's end (see runExitStep).
    bool exitStep(const std::function<void()>& body);

    /// Runs a handler body under the default error report.
    bool guard(const std::function<void()>& body);

    /// Built when first asked for.
    TfAbout* aboutWindow();

    /// Runs when the window has closed; ends the message loop.
    std::function<void()> onClosed;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormCreate();
    QWidget* buildSelector();
    void buildPages();
    /// Builds page 3 or 4 when it is still missing.
    void buildLatePage(int index);
    /// Shows a page by index, built first.
    void setPage(int index);
    /// Status panel 0's text for the page on display.
    QString pageStatusText() const;
    /// The tool bar, the tray icon and the status line after on/off and the mode.
    void showDesktopState();

    AppContext& m_context;
    Platform& m_platform;
    Settings& m_settings;
    TLanguage m_language;
    bool m_firstShow = true;
    bool m_closed = false;

    // The window's parts, children of the window.
    DesktopController* m_desktop = nullptr;
    StatusLine* m_status = nullptr;
    TrayIcon* m_tray = nullptr;
    MainToolBar* m_toolBar = nullptr;
    MainMenu* m_mainMenu = nullptr;
    HelpAndLinks* m_helpAndLinks = nullptr;
    std::unique_ptr<PageHost> m_host;  // what the pages see of the window

    // Selector and pages.
    QToolButton* m_selector[5] = {};  // b5, b4, b3, b2, b1 (Tag order)
    QLabel* m_selectorLabel[5] = {};  // lb1 ... lb5
    QStackedWidget* m_pageControl = nullptr;
    QLabel* m_toolBarCaption = nullptr;
    QLabel* m_articleLabels[5] = {};
    MainWindowPage* m_pageAt[5] = {};      // by page index; null while missing
    std::vector<MainWindowPage*> m_pages;  // in the order they were built
    ThemeLibraryPage* m_themePage = nullptr;
    ImageListPage* m_listPage = nullptr;
    OptionsPage* m_optionsPage = nullptr;
    BuilderPage* m_builderPage = nullptr;
    ReportPage* m_reportPage = nullptr;
    std::unique_ptr<LibraryReadAhead> m_libraryReadAhead;  // until page 0 takes it

    TfAbout* m_about = nullptr;  // a child of the window, once built
};

}  // namespace velluma
