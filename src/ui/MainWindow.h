#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "language/Language.h"

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeWidget;
class QCheckBox;
class QSpinBox;
class QGroupBox;
class QComboBox;
class QSlider;

namespace velluma {

struct Platform;
struct Settings;
struct ThemeContext;
class TRAgent;
class RadioGroup;
class TfAbout;
class HelpWindow;
class MainWindowPage;
class PageHost;
class ThemeLibraryPage;
class LibraryReadAhead;
class ImageListPage;
class BuilderPage;
class ReportPage;
class ThemeList;
class ListLibrary;
class PictureView;

/// Everything the main window works with, owned by the program for the whole run.
struct AppContext {
    Platform& platform;
    Settings& settings;
    std::vector<TMLang>& languages;
    TRAgent& agent;
    ThemeContext& themes;
};

/// The main window: page selector, the five pages, tool bar, status bar, timers, the tray
/// icon and the main menu.
class TfMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfMain(AppContext& context, QWidget* parent = nullptr);
    ~TfMain() override;

    TLanguage& language() { return m_language; }
    Platform& platform() { return m_platform; }
    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    ThemeContext& themes() { return m_context.themes; }
    TRAgent& agent() { return m_context.agent; }
    /// The current language's text of a key.
    QString text(const char* section, const char* key) const;

    ThemeLibraryPage* themePage() const { return m_themePage; }
    ImageListPage* listPage() const { return m_listPage; }
    /// Pages 3 and 4 are built when first shown or asked for here.
    BuilderPage* builderPage();
    ReportPage* reportPage();
    /// The rows the rotations choose from; null while the page that shows them is missing.
    ThemeList* themeList() const;
    ListLibrary* listLibrary() const;
    PictureView* pictureView() const;

    /// Shows the hint of a tool button in status panel 0 while the mouse is over it.
    void watchHover(QWidget* control, bool selector = false);
    /// A command's own message in status panel 0; the periodic refresh leaves it alone.
    void showStatusMessage(const QString& message);
    /// Presses a page-selector button by Tag (0 ... 3).
    void pressSelector(int tag);
    /// Shows a page by index (0 ... 4) without a selector button.
    void showPage(int index);
    /// Text in status panel 0 that the next periodic refresh replaces (no hint mark).
    void showStatusText(const QString& text);
    /// Clears the hint mark: the periodic refresh writes status panel 0 again.
    void clearHintMark() { m_hintMark = 0; }

    // Desktop state and rotation.
    void tbbOnOffClick();
    void tbbONOFFPM00Click();
    void tbbONOFFPM01Click();
    void tbbONOFFPM2Click();
    void tbbChStateClick();
    void ChooseNextTheme();
    void ChooseNextPicture();
    void Timer3Timer();
    void Timer4Timer();
    /// Puts cImg on the desktop (an empty path clears the wallpaper).
    void showPicture(const std::string& path);

    // Window events and commands, by their established names.
    void FormShow();
    void FormClose();
    void FormResize();
    void b5Click(QObject* sender);
    void Timer1Timer();
    void HideToTray();
    void RestoreFromTray();
    void TrayIconDblClick();
    void SettingsToControls();
    void ControlsToSettings();
    void UpdateStatusBar();
    void ApplyLanguage();
    void LangItemClick(QAction* item);
    void OtherItemClick(QAction* item);
    void rg1Change();
    void tb1Change();
    void cb2Change();
    void OpenHelpFile();
    void OpenDisplaySettings();
    /// Opens a web address with the desktop's browser; one that nothing opens is named in a
    /// message.
    void openLink(const std::string& address);

    /// The end of the user's session: put the user's background back, then close. Nothing
    /// on the way waits for the user; a failure goes to standard error and to the next
    /// start.
    void sessionEnding();

    /// Runs a step of the program's end (see runExitStep).
    bool exitStep(const std::function<void()>& body);

    /// Runs a handler body under the default error report.
    bool guard(const std::function<void()>& body);

    /// The hint mark: 1 while a hint is shown in status panel 0.
    int hintMark() const { return m_hintMark; }
    /// Whether the desktop has a notification area (without one, hiding minimises).
    bool hasTray() const;
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    /// Built when first asked for.
    TfAbout* aboutWindow();

    /// Runs when the window has closed; ends the message loop.
    std::function<void()> onClosed;
    /// Puts the recorded desktop back.
    std::function<void()> restoreDesktop;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void buildFrame();
    QWidget* buildSelector();
    void buildToolBar();
    void buildPages();
    /// Builds page 3 or 4 when it is still missing.
    void buildLatePage(int index);
    /// Shows a page by index, built first.
    void setPage(int index);
    void buildOptionsPage(QWidget* page);
    void buildSlideShowSheet(QWidget* sheet);
    void buildStatusBar();
    void buildTimers();
    void buildTray();
    void buildMainMenu();
    void armRotationTimers();
    void updateOnOffControls();
    void applyStartupShortcut();
    void hoverEnter(QObject* control, bool selector);
    void hoverLeave();
    void setStatusPanel(int index, const QString& text);
    /// plb3: the language's label and the desktop's size.
    void showDesktopSize();
    /// Status panel 1: the current mode.
    void showMode();
    void showSavedContent();
    std::string helpFilePath() const;
    void showHelpWindow(const std::string& path);
    void linkRefused(const std::string& address);

    AppContext& m_context;
    Platform& m_platform;
    Settings& m_settings;
    TLanguage m_language;
    std::unique_ptr<PageHost> m_host;  // what the pages see of the window
    int m_hintMark = 0;
    bool m_firstShow = true;
    bool m_closed = false;

    // Selector and pages.
    QToolButton* m_selector[5] = {};  // b5, b4, b3, b2, b1 (Tag order)
    QLabel* m_selectorLabel[5] = {};  // lb1 ... lb5
    QStackedWidget* m_pageControl = nullptr;
    QLabel* m_toolBarCaption = nullptr;
    QLabel* m_articleLabels[5] = {};
    std::vector<MainWindowPage*> m_pages;  // in page order; pages without one are missing
    ThemeLibraryPage* m_themePage = nullptr;
    ImageListPage* m_listPage = nullptr;
    BuilderPage* m_builderPage = nullptr;
    ReportPage* m_reportPage = nullptr;
    std::unique_ptr<LibraryReadAhead> m_libraryReadAhead;  // until page 0 takes it

    // Tool bar.
    QToolButton* m_tbbOnOff = nullptr;
    QToolButton* m_tbbChState = nullptr;
    QMenu* m_tbbONOFFPM = nullptr;
    QMenu* m_tbbONOFFPM1 = nullptr;
    QAction* m_tbbONOFFPM2 = nullptr;
    QAction* m_tbbONOFFPM00 = nullptr;
    QAction* m_tbbONOFFPM01 = nullptr;
    QWidget* m_filler = nullptr;
    QToolButton* m_bOK = nullptr;

    // Status bar.
    QLabel* m_statusPanel[3] = {};

    // Timers.
    QTimer* m_timer[4] = {};

    // Options page.
    QTabWidget* m_pcOptions = nullptr;
    QLabel* m_lbOp[3] = {};
    QCheckBox* m_cbsAbout = nullptr;
    QCheckBox* m_cbAutoRun = nullptr;
    RadioGroup* m_rg1 = nullptr;
    RadioGroup* m_rg2 = nullptr;
    QGroupBox* m_gbTime = nullptr;
    QSpinBox* m_seMin = nullptr;
    QSpinBox* m_seSec = nullptr;
    QLabel* m_lbmin = nullptr;
    QLabel* m_lbSec = nullptr;
    RadioGroup* m_rg11 = nullptr;
    RadioGroup* m_rg12 = nullptr;
    RadioGroup* m_rg13 = nullptr;
    QGroupBox* m_gb1 = nullptr;
    QSpinBox* m_semin1 = nullptr;
    QSpinBox* m_sesec2 = nullptr;
    QLabel* m_lbmin1 = nullptr;
    QLabel* m_lbsec1 = nullptr;
    QComboBox* m_cb1 = nullptr;
    QComboBox* m_cb2 = nullptr;
    QSlider* m_tb1 = nullptr;
    QLabel* m_plb[3] = {};

    // Tray and menus.
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_pmtryIcon = nullptr;
    QAction* m_pmtryIconItem[3] = {};
    std::vector<QIcon> m_ilMainMenu;
    std::vector<QMenu*> m_mainMenus;
    std::vector<QAction*> m_commandItems;  // the nine command items, menu order
    std::vector<QAction*> m_languageItems;

    TfAbout* m_about = nullptr;          // a child of the window, once built
    HelpWindow* m_helpWindow = nullptr;  // the guide, where no program opens it
};

}  // namespace velluma
