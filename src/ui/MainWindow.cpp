#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "control/DesktopController.h"
#include "core/Options.h"
#include "platform/Platform.h"
#include "platform_gui/posix/PageLauncher.h"
#include "ui/About.h"
#include "ui/BuilderPage.h"
#include "ui/ErrorReport.h"
#include "ui/HelpAndLinks.h"
#include "ui/Icons.h"
#include "ui/ImageListPage.h"
#include "ui/MainMenu.h"
#include "ui/MainToolBar.h"
#include "ui/OptionsPage.h"
#include "ui/PicturesPanel.h"
#include "ui/ReportPage.h"
#include "ui/StatusLine.h"
#include "ui/ThemeLibraryPage.h"
#include "ui/TrayIcon.h"
#include "ui/TrayToolTip.h"
#include "ui/Widgets.h"
#include "ui/WindowPageHost.h"

namespace velluma {

TfMain::TfMain(AppContext& context, QWidget* parent)
    : QMainWindow(parent),
      m_context(context),
      m_platform(context.platform),
      m_settings(context.settings),
      // The library's scan is most of the start-up: it runs while the frame is built.
      m_libraryReadAhead(std::make_unique<LibraryReadAhead>(context.themes)) {
    setObjectName(QStringLiteral("fMain"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    m_helpAndLinks = new HelpAndLinks(*this, m_platform, m_language, m_settings.InstallFolder);
    m_desktop =
        new DesktopController({m_settings, m_platform, context.themes, context.agent,
                               [this] { return m_helpAndLinks->helpFilePath(); },
                               [this](const std::function<void()>& handler) { guard(handler); }},
                              this);
    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar"));
    statusBar->setSizeGripEnabled(false);
    setStatusBar(statusBar);
    m_status = new StatusLine(
        statusBar, m_language, m_settings.options, *m_platform.messageBoxes,
        [this] { return pageStatusText(); }, this);
    m_host = std::make_unique<WindowPageHost>(*this, context, *m_helpAndLinks);

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_toolBarCaption = makeBarLabel(central, "lbToolBarCaption");
    outer->addWidget(m_toolBarCaption);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    outer->addLayout(row, 1);
    setCentralWidget(central);

    m_toolBar = new MainToolBar(*this, *m_desktop, *m_status, *m_platform.messageBoxes);
    connect(m_toolBar, &MainToolBar::okClicked, this, [this] {
        ControlsToSettings();
        SettingsToControls();
        HideToTray();
    });
    row->addWidget(buildSelector());
    m_pageControl = new QStackedWidget(central);
    m_pageControl->setObjectName(QStringLiteral("PageControl"));
    row->addWidget(m_pageControl, 1);
    buildPages();
    m_desktop->setRows(&m_themePage->themeList(), &m_listPage->listLibrary(),
                       &m_listPage->pictures().pictureView());
    connect(m_desktop, &DesktopController::stateChanged, this, [this] { showDesktopState(); });
    connect(m_desktop, &DesktopController::pageWanted, this,
            [this](int tag) { pressSelector(tag); });

    m_tray = new TrayIcon(*this, *m_platform.messageBoxes);
    connect(m_tray, &TrayIcon::restoring, this, [this] { RestoreFromTray(); });
    connect(m_tray, &TrayIcon::displaySettingsWanted, this,
            [this] { m_helpAndLinks->OpenDisplaySettings(); });
    // The tray's tip follows the mode and what is shown, a rotation's step included.
    connect(m_status, &StatusLine::modeShown, this, [this](const QString& mode) {
        const Settings& s = m_settings;
        m_tray->showToolTip(trayToolTip(s.options.state, mode, s.cadvTheme, s.cImg));
    });
    setMenuBar(new QMenuBar(this));
    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    m_mainMenu = new MainMenu(menuBar(), m_context.languages, *m_platform.messageBoxes);
    connect(m_mainMenu, &MainMenu::commandChosen, this, [this](int tag) { OtherItemClick(tag); });
    connect(m_mainMenu, &MainMenu::languageChosen, this,
            [this](QAction* item) { LangItemClick(item); });

    resize(620, 479 + menuBar()->sizeHint().height());
    setMinimumSize(628, 506);

    guard([this] { FormCreate(); });
    // Said once per run where the machine cannot confine the page program.
    // The reason, in the system's words, goes to standard error with the notice.
    PageLauncher::setNoticeHandler([this](const std::string&) {
        QTimer::singleShot(
            0, this, [this] { m_status->showStatusMessage(text("STATUS_BAR", "unconfined")); });
    });
}

TfMain::~TfMain() {
    PageLauncher::setNoticeHandler({});
    // The pages' handlers need the whole window: the pages go before the widgets, which
    // still send focus events while they are destroyed.
    m_desktop->setRows(nullptr, nullptr, nullptr);
    for (MainWindowPage* page : m_pages) delete page;
}

QWidget* TfMain::buildSelector() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("bPanel"));
    panel->setFixedWidth(78);
    panel->setStyleSheet(QStringLiteral(
        "#bPanel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #167aa4,"
        " stop:1 #105978); }"
        " #bPanel QLabel { color: white; }"
        " #bPanel QToolButton { border: none; border-radius: 6px; padding: 4px; }"
        " #bPanel QToolButton:hover { background: rgba(255,255,255,40); }"
        " #bPanel QToolButton:checked { background: rgba(255,255,255,70); }"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 8, 4, 8);
    layout->setSpacing(2);
    // Top to bottom: b5, b4, b3, b2, b1 with lb1 ... lb5 under them; Tags 0 ... 4.
    const char* names[5] = {"b5", "b4", "b3", "b2", "b1"};
    const int images[5] = {3, 2, 1, 5, 4};
    for (int tag = 0; tag < 5; ++tag) {
        auto* button = new QToolButton(panel);
        button->setObjectName(QString::fromLatin1(names[tag]));
        button->setIcon(buttonImage(images[tag]));
        button->setIconSize(QSize(32, 32));
        button->setAutoRaise(true);
        button->setCheckable(tag < 4);
        button->setFocusPolicy(Qt::NoFocus);
        button->setProperty("Tag", tag);
        connect(button, &QToolButton::clicked, this,
                [this, button] { guard([&] { b5Click(button); }); });
        m_status->watchHover(button, true);
        auto* label = new QLabel(panel);
        label->setObjectName(QStringLiteral("lb%1").arg(tag + 1));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        layout->addWidget(button, 0, Qt::AlignHCenter);
        layout->addWidget(label);
        layout->addSpacing(6);
        m_selector[tag] = button;
        m_selectorLabel[tag] = label;
    }
    layout->addStretch(1);
    return panel;
}

void TfMain::buildPages() {
    const char* sheets[5] = {"pageAdvThemes", "TabSheet2", "TabSheet3", "TabSheet1", "TabSheet4"};
    const char* articles[5] = {"p1articlelabel", "p2articlelabel", "p3articlelabel",
                               "p4articlelabel", "prepalabel"};
    for (int i = 0; i < 5; ++i) {
        auto* page = new QWidget(m_pageControl);
        page->setObjectName(QString::fromLatin1(sheets[i]));
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_articleLabels[i] = makeArticleLabel(page, articles[i]);
        layout->addWidget(m_articleLabels[i]);
        m_pageControl->addWidget(page);
    }
    m_themePage =
        new ThemeLibraryPage(*m_host, m_pageControl->widget(0), std::move(m_libraryReadAhead));
    m_listPage = new ImageListPage(*m_host, m_pageControl->widget(1));
    m_optionsPage = new OptionsPage(*m_host, m_pageControl->widget(2));
    connect(m_optionsPage, &OptionsPage::sheetChanged, this, [this] {
        if (m_status->hintMark() == 0) guard([this] { m_status->UpdateStatusBar(); });
    });
    m_pages = {m_themePage, m_listPage, m_optionsPage};
    for (int i = 0; i < 3; ++i) m_pageAt[i] = m_pages[static_cast<std::size_t>(i)];
}

// Most runs never open the builder or a report: their pages cost nothing until they do.
void TfMain::buildLatePage(int index) {
    MainWindowPage* page = nullptr;
    if (index == 3 && !m_builderPage)
        page = m_builderPage = new BuilderPage(*m_host, m_pageControl->widget(3));
    else if (index == 4 && !m_reportPage)
        page = m_reportPage = new ReportPage(*m_host, m_pageControl->widget(4));
    if (!page) return;
    m_pages.push_back(page);
    m_pageAt[index] = page;
    // What the window's creation, texts and layout did for the other pages.
    page->applyLanguage();
    page->formCreate();
    page->formResize(width());
}

void TfMain::setPage(int index) {
    // Built before the switch: controls added to a page on display would show a moment late.
    buildLatePage(index);
    m_pageControl->setCurrentIndex(index);
}

BuilderPage* TfMain::builderPage() {
    buildLatePage(3);
    return m_builderPage;
}

ReportPage* TfMain::reportPage() {
    buildLatePage(4);
    return m_reportPage;
}

TfAbout* TfMain::aboutWindow() {
    if (!m_about) {
        m_about = new TfAbout(m_platform, m_settings, this);
        m_about->onOpenLink = [this](const std::string& address) {
            m_helpAndLinks->openLink(address);
        };
        m_about->applyTexts(m_language);
    }
    return m_about;
}

void TfMain::FormCreate() {
    // 1. The builder's captured picture and pointer position come with the builder page.
    // 2. Tray icon image.
    m_tray->showSwitchedOn(m_settings.options.Enabled);
    // 3. Minimise hides to the tray: see changeEvent.
    // 4. Builder defaults come with the builder page.
    // 5. The two switch-on items come with the tool bar.
    // 6. Texts.
    m_language.Load(m_settings.options.LanguageFileName);
    ApplyLanguage();
    // 7, 8. Tool-bar and page images.
    m_toolBar->showState(m_settings.options);
    // 9-13. The pages fill their views.
    for (MainWindowPage* page : m_pages) page->formCreate();
    // 14. Rotation timers.
    m_desktop->armRotationTimers();
    // 15. The saved content goes on the desktop.
    m_desktop->showSavedContent();
}

void TfMain::showDesktopState() {
    m_toolBar->showState(m_settings.options);
    m_tray->showSwitchedOn(m_settings.options.Enabled);
    m_status->showMode();
}

bool TfMain::guard(const std::function<void()>& body) {
    return runGuarded(*m_platform.messageBoxes, body);
}

bool TfMain::exitStep(const std::function<void()>& body) {
    return runExitStep(*m_platform.messageBoxes, m_settings.ProgramFolder, body);
}

QString TfMain::text(const char* section, const char* key) const {
    return QString::fromStdString(m_language.text(section, key));
}

// --- Window events -------------------------------------------------------------------

void TfMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    guard([this] { FormShow(); });
}

void TfMain::FormShow() {
    m_optionsPage->showDesktopSize();
    SettingsToControls();
}

void TfMain::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_closed) return;
    m_closed = true;
    // A failing start-up entry is reported, and the program still ends: the settings must
    // be written all the same.
    exitStep([this] { FormClose(); });
    if (m_about) m_about->hide();
    m_tray->hide();
    if (onClosed) onClosed();
}

void TfMain::FormClose() {
    SettingsToControls();
    ControlsToSettings();
}

void TfMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    guard([this] { FormResize(); });
}

void TfMain::FormResize() {
    const int w = width();
    for (MainWindowPage* page : m_pages) page->formResize(w);
    m_status->formResize(w);
    m_toolBar->formResize(w);
}

void TfMain::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        guard([this] {
            ControlsToSettings();
            HideToTray();
        });
        return;
    }
    const int fkeys[4] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4};
    for (int i = 0; i < 4; ++i) {
        if (event->key() == fkeys[i] && (event->modifiers() & Qt::ControlModifier)) {
            m_selector[i]->click();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void TfMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayIcon::available())
        QTimer::singleShot(0, this, [this] { guard([this] { HideToTray(); }); });
}

// --- Page selector -------------------------------------------------------------------------

void TfMain::b5Click(QObject* sender) {
    const int tag = sender->property("Tag").toInt();
    if (tag >= 4) {
        for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == m_pageControl->currentIndex());
        m_helpAndLinks->OpenHelpFile();
        return;
    }
    setPage(tag);
    for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == tag);
    if (m_status->hintMark() == 0) m_status->UpdateStatusBar();
}

void TfMain::pressSelector(int tag) {
    m_selector[tag]->click();
}

void TfMain::showPage(int index) {
    setPage(index);
    for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == index);
}

QString TfMain::pageStatusText() const {
    const int index = m_pageControl->currentIndex();
    if (index == 3) return text("BUTTONLIST_CAPTIONS", "hint3");
    const MainWindowPage* page = index >= 0 && index < 5 ? m_pageAt[index] : nullptr;
    return page ? page->statusText() : QString();
}

// --- Tray ----------------------------------------------------------------------------

void TfMain::HideToTray() {
    if (!TrayIcon::available()) {
        // Without a notification area the window could not be brought back: minimise.
        if (!isMinimized()) showMinimized();
        return;
    }
    hide();
}

void TfMain::RestoreFromTray() {
    SettingsToControls();
    showNormal();
}

// --- Settings and controls ---------------------------------------------------------

void TfMain::SettingsToControls() {
    m_desktop->armRotationTimers();
    const TOptions& o = m_settings.options;
    setPage(o.ActivePage >= 0 && o.ActivePage < 5 ? o.ActivePage : 0);
    for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == m_pageControl->currentIndex());
    m_optionsPage->SettingsToControls();
    if (m_status->hintMark() == 0) m_status->UpdateStatusBar();
}

void TfMain::ControlsToSettings() {
    m_settings.options.ActivePage = m_pageControl->currentIndex();
    m_optionsPage->ControlsToSettings();
    m_desktop->armRotationTimers();
}

// --- Texts and menus -------------------------------------------------------------------

void TfMain::ApplyLanguage() {
    auto t = [this](const char* section, const char* key) { return text(section, key); };
    // 1. Caption.
    setWindowTitle(QString::fromStdString(m_language.Caption()));
    // 2. Main menu.
    m_mainMenu->applyLanguage(m_language, m_settings.options.LanguageFileName);
    // 3. Control texts.
    m_toolBar->applyLanguage(m_language);
    m_toolBarCaption->setText(QStringLiteral("  ") + t("BUTTONS_CAPTIONS", "bc0"));
    m_tray->applyLanguage(m_language);
    for (int tag = 0; tag < 5; ++tag) {
        const std::string button = "button" + std::to_string(tag);
        m_selectorLabel[tag]->setText(t("BUTTONLIST_CAPTIONS", button.c_str()));
        const std::string hint = "hint" + std::to_string(tag);
        m_selector[tag]->setToolTip(t("BUTTONLIST_CAPTIONS", hint.c_str()));
    }
    const char* articleKeys[5] = {"p0", "p1", "p2", "p3", "p4"};
    for (int i = 0; i < 5; ++i)
        m_articleLabels[i]->setText(QStringLiteral(":: ") + t("PAGES_ARTICLES", articleKeys[i]) +
                                    QStringLiteral("::"));
    for (MainWindowPage* page : m_pages) page->applyLanguage();
    // 4. Page indexes of the selector buttons.
    for (int tag = 0; tag < 5; ++tag) m_selector[tag]->setProperty("Tag", tag);
    // 9. The About window.
    if (m_about) m_about->applyTexts(m_language);
    // The hint mark keeps a message in panel 0, not the old language's mode in panel 1.
    if (m_status->hintMark() == 0)
        m_status->UpdateStatusBar();
    else
        m_status->showMode();
}

void TfMain::LangItemClick(QAction* item) {
    const std::string path = m_mainMenu->languageFileOf(item);
    if (path.empty()) {
        // Not found: the check marks must still show the language in use.
        m_mainMenu->applyLanguage(m_language, m_settings.options.LanguageFileName);
        return;
    }
    m_settings.options.LanguageFileName = path;
    m_language.Load(path);
    ApplyLanguage();
}

void TfMain::OtherItemClick(int tag) {
    switch (tag) {
        case 1:
            m_helpAndLinks->OpenDisplaySettings();
            break;
        case 2:
            ControlsToSettings();
            HideToTray();
            break;
        case 3:
            close();
            break;
        case 10:
        case 20:
        case 30:
            m_selector[2]->click();
            m_optionsPage->showSheet(tag / 10 - 1);
            break;
        case 100:
            aboutWindow()->exec();
            break;
        case 200:
            m_helpAndLinks->openLink(m_settings.Links[0]);
            break;
        case 300:
            m_helpAndLinks->OpenHelpFile();
            break;
        default:
            break;
    }
}

void TfMain::sessionEnding() {
    exitStep([this] {
        if (m_desktop->restoreDesktop) m_desktop->restoreDesktop();
    });
    if (!m_closed) close();
}

}  // namespace velluma
