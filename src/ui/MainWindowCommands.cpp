#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "core/DataFolder.h"
#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/ResolutionAgent.h"
#include "platform/Platform.h"
#include "ui/About.h"
#include "ui/ErrorReport.h"
#include "ui/HelpWindow.h"
#include "ui/ImageListPage.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowPage.h"
#include "ui/PicturesPanel.h"
#include "ui/RadioGroup.h"
#include "ui/ReportPage.h"
#include "ui/ThemeLibraryPage.h"
#include "ui/TrayToolTip.h"

namespace velluma {
namespace {

constexpr const char* kShellFoldersKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Timers keep counting when re-armed with the interval they already have.
void armTimer(QTimer* timer, int interval) {
    if (interval <= 0) {
        timer->stop();  // a zero interval never fires
        timer->setInterval(0);
        return;
    }
    if (timer->interval() != interval) {
        timer->stop();  // a new interval counts from now
        timer->setInterval(interval);
    }
    if (!timer->isActive()) timer->start();
}

}  // namespace

bool TfMain::guard(const std::function<void()>& body) {
    return runGuarded(*m_platform.messageBoxes, body);
}

bool TfMain::exitStep(const std::function<void()>& body) {
    return runExitStep(*m_platform.messageBoxes, m_settings.ProgramFolder, body);
}

QString TfMain::text(const char* section, const char* key) const {
    return QString::fromStdString(m_language.text(section, key));
}

bool TfMain::hasTray() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TfMain::setStatusPanel(int index, const QString& value) {
    QLabel* panel = m_statusPanel[index];
    panel->setText(value);
    // A message longer than its panel (a long file name) can still be read whole.
    const bool cut = panel->fontMetrics().horizontalAdvance(value) > panel->contentsRect().width();
    panel->setToolTip(cut ? value : QString());
}

void TfMain::armRotationTimers() {
    const TOptions& o = m_settings.options;
    armTimer(m_timer[2], o.advMin * 60000 + o.AdvSec * 1000);
    armTimer(m_timer[3], o.ilMin * 60000 + o.ilSec * 1000);
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
    showDesktopSize();
    SettingsToControls();
}

void TfMain::showDesktopSize() {
    m_plb[2]->setText(text("PAGE_OPTIONS", "tsIllb2") + QStringLiteral(": ") +
                      QString::fromStdString(m_context.agent.ResolutionText()));
}

void TfMain::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_closed) return;
    m_closed = true;
    // A failing start-up entry is reported, and the program still ends: the settings must
    // be written all the same.
    exitStep([this] { FormClose(); });
    if (m_about) m_about->hide();
    m_trayIcon->hide();
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
    const int panels[3] = {320, 150, 150};
    for (int i = 0; i < 3; ++i) m_statusPanel[i]->setFixedWidth(w * panels[i] / 620);
    m_filler->setFixedWidth(std::max(0, w - 190));
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
    if (event->type() == QEvent::WindowStateChange && isMinimized() && hasTray())
        QTimer::singleShot(0, this, [this] { guard([this] { HideToTray(); }); });
}

// --- Page selector and hints ---------------------------------------------------------------

void TfMain::b5Click(QObject* sender) {
    const int tag = sender->property("Tag").toInt();
    if (tag >= 4) {
        for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == m_pageControl->currentIndex());
        OpenHelpFile();
        return;
    }
    setPage(tag);
    for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == tag);
    if (m_hintMark == 0) UpdateStatusBar();
}

std::string TfMain::helpFilePath() const {
    return programPath(m_settings.InstallFolder, m_language.HelpFile());
}

void TfMain::OpenHelpFile() {
    const std::string path = helpFilePath();
    const QPointer<TfMain> self(this);
    const int result = m_platform.shell->open(path, ShowMode::Show, [self, path] {
        if (self) self->guard([&] { self->showHelpWindow(path); });
    });
    if (result == kShellFileNotFound)
        m_platform.messageBoxes->show("Help file not found", "Tivora 2.00", MessageIcon::Error);
    else if (!shellOpened(result))
        showHelpWindow(path);
}

// A desktop without a browser still shows the guide: in a window of our own.
void TfMain::showHelpWindow(const std::string& path) {
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(this);
        m_helpWindow->browser()->onWebLink = [this](const std::string& address) {
            guard([&] { openLink(address); });
        };
    }
    if (!m_helpWindow->showGuide(path))
        m_platform.messageBoxes->show("Help file not found", "Tivora 2.00", MessageIcon::Error);
}

void TfMain::openLink(const std::string& address) {
    if (address.empty()) return;  // no address in links.ini: nothing to name either
    const QPointer<TfMain> self(this);
    const int result = m_platform.shell->open(address, ShowMode::Normal, [self, address] {
        if (self) self->guard([&] { self->linkRefused(address); });
    });
    if (!shellOpened(result)) linkRefused(address);
}

void TfMain::linkRefused(const std::string& address) {
    m_platform.messageBoxes->show(m_language.text("MESSAGES", "nolink") + "\n" + address, "Velluma",
                                  MessageIcon::Warning);
}

void TfMain::OpenDisplaySettings() {
    m_platform.shell->openDisplaySettings();
}

void TfMain::showStatusMessage(const QString& message) {
    m_hintMark = 1;
    setStatusPanel(0, message);
}

void TfMain::pressSelector(int tag) {
    m_selector[tag]->click();
}

void TfMain::showPage(int index) {
    setPage(index);
    for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == index);
}

void TfMain::showStatusText(const QString& text) {
    setStatusPanel(0, text);
}

// The pages provide these as they implement their rows.
ThemeList* TfMain::themeList() const {
    return m_themePage ? &m_themePage->themeList() : nullptr;
}
ListLibrary* TfMain::listLibrary() const {
    return m_listPage ? &m_listPage->listLibrary() : nullptr;
}
PictureView* TfMain::pictureView() const {
    return m_listPage ? &m_listPage->pictures().pictureView() : nullptr;
}

void TfMain::watchHover(QWidget* control, bool selector) {
    control->setProperty("selectorButton", selector);
    control->installEventFilter(this);
}

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter)
        guard([&] { hoverEnter(watched, watched->property("selectorButton").toBool()); });
    else if (event->type() == QEvent::Leave)
        guard([this] { hoverLeave(); });
    return QMainWindow::eventFilter(watched, event);
}

void TfMain::hoverEnter(QObject* control, bool selector) {
    m_hintMark = 1;
    if (selector) {
        const std::string key = "hint" + std::to_string(control->property("Tag").toInt());
        setStatusPanel(0, text("BUTTONLIST_CAPTIONS", key.c_str()));
    } else {
        setStatusPanel(0, control->property("hint").toString());
    }
}

void TfMain::hoverLeave() {
    m_hintMark = 0;
    UpdateStatusBar();
}

void TfMain::Timer1Timer() {
    if (m_hintMark == 0) {
        UpdateStatusBar();
    } else {
        showMode();  // a hint holds panel 0 only
    }
}

void TfMain::showMode() {
    const TOptions& o = m_settings.options;
    const QString mode = o.state == 0 ? text("STATUS_BAR", "msg8") : text("STATUS_BAR", "msg9");
    setStatusPanel(1, mode);
    // The tray's tip follows the mode and what is shown, a rotation's step included.
    if (!m_trayIcon) return;
    const QString tip = trayToolTip(o.state, mode, m_settings.cadvTheme, m_settings.cImg);
    if (m_trayIcon->toolTip() != tip) m_trayIcon->setToolTip(tip);
}

void TfMain::UpdateStatusBar() {
    showMode();
    QString panel0;
    switch (m_pageControl->currentIndex()) {
        case 0:
        case 1:
            if (m_pageControl->currentIndex() < static_cast<int>(m_pages.size()))
                panel0 = m_pages[m_pageControl->currentIndex()]->statusText();
            break;
        case 2:
            panel0 = m_pcOptions->currentWidget()->property("hint").toString();
            break;
        case 3:
            panel0 = text("BUTTONLIST_CAPTIONS", "hint3");
            break;
        case 4:
            if (m_reportPage) panel0 = m_reportPage->statusText();
            break;
    }
    setStatusPanel(0, panel0);
}

// --- Tray ----------------------------------------------------------------------------

void TfMain::HideToTray() {
    if (!hasTray()) {
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

void TfMain::TrayIconDblClick() {
    if (isMinimized()) RestoreFromTray();
    show();
    raise();
    activateWindow();
}

// --- Settings and controls ---------------------------------------------------------

void TfMain::SettingsToControls() {
    armRotationTimers();
    const TOptions& o = m_settings.options;
    setPage(o.ActivePage >= 0 && o.ActivePage < 5 ? o.ActivePage : 0);
    for (int i = 0; i < 4; ++i) m_selector[i]->setChecked(i == m_pageControl->currentIndex());
    m_cbsAbout->setChecked(o.ShowAboutWindow);
    m_cbAutoRun->setChecked(o.RunAtStartup);
    {
        const QSignalBlocker b1(m_rg1);
        m_rg1->setItemIndex(o.advChType);
    }
    m_rg2->setItemIndex(o.advRandOrOrder);
    m_seMin->setValue(o.advMin);
    m_seSec->setValue(o.AdvSec);
    // Enabled states from the settings, as rg1Change does from the controls.
    m_rg2->setEnabled(o.advChType > 0);
    const bool advTime = o.advChType == 2;
    m_gbTime->setEnabled(advTime);
    m_seMin->setEnabled(advTime);
    m_seSec->setEnabled(advTime);
    {
        const QSignalBlocker b11(m_rg11), b13(m_rg13), btb(m_tb1);
        m_rg11->setItemIndex(o.ilChType);
        m_rg13->setItemIndex(o.ilShowType);
        m_tb1->setValue(o.LastPos);
    }
    m_rg12->setItemIndex(o.ilRandOrOrder);
    m_semin1->setValue(o.ilMin);
    m_sesec2->setValue(o.ilSec);
    m_cb1->setCurrentIndex(o.ilDisplType < m_cb1->count() ? o.ilDisplType : -1);
    // The group label and cb2 follow the slider's group, moved above without its signal.
    tb1Change();
    m_rg12->setEnabled(o.ilChType > 0);
    const bool ilTime = o.ilChType == 2;
    m_gb1->setEnabled(ilTime);
    m_semin1->setEnabled(ilTime);
    m_sesec2->setEnabled(ilTime);
    m_cb1->setEnabled(o.ilShowType == 0);
    m_tb1->setEnabled(o.ilShowType != 0);
    m_cb2->setEnabled(o.ilShowType != 0);
    if (m_hintMark == 0) UpdateStatusBar();
}

void TfMain::ControlsToSettings() {
    TOptions& o = m_settings.options;
    o.ActivePage = m_pageControl->currentIndex();
    o.ShowAboutWindow = m_cbsAbout->isChecked();
    o.RunAtStartup = m_cbAutoRun->isChecked();
    o.advChType = static_cast<std::uint8_t>(m_rg1->itemIndex());
    o.advRandOrOrder = static_cast<std::uint8_t>(m_rg2->itemIndex());
    o.advMin = m_seMin->value();
    o.AdvSec = static_cast<std::uint8_t>(m_seSec->value());
    o.ilChType = static_cast<std::uint8_t>(m_rg11->itemIndex());
    o.ilRandOrOrder = static_cast<std::uint8_t>(m_rg12->itemIndex());
    o.ilMin = m_semin1->value();
    o.ilSec = static_cast<std::uint8_t>(m_sesec2->value());
    o.ilShowType = static_cast<std::uint8_t>(m_rg13->itemIndex());
    o.ilDisplType = static_cast<std::uint8_t>(m_cb1->currentIndex());
    o.LastPos = static_cast<std::uint8_t>(m_tb1->value());
    o.GroupDisplay = o.GroupDisplayEdit;
    applyStartupShortcut();
    armRotationTimers();
}

void TfMain::rg1Change() {
    const int adv = m_rg1->itemIndex();
    m_rg2->setEnabled(adv > 0);
    m_gbTime->setEnabled(adv == 2);
    m_seMin->setEnabled(adv == 2);
    m_seSec->setEnabled(adv == 2);
    const int il = m_rg11->itemIndex();
    m_rg12->setEnabled(il > 0);
    m_gb1->setEnabled(il == 2);
    m_semin1->setEnabled(il == 2);
    m_sesec2->setEnabled(il == 2);
    const bool oneMode = m_rg13->itemIndex() == 0;
    m_cb1->setEnabled(oneMode);
    m_tb1->setEnabled(!oneMode);
    m_cb2->setEnabled(!oneMode);
}

void TfMain::tb1Change() {
    const int p = m_tb1->value();
    const QString t = text("PAGE_OPTIONS", "tsIllb0");
    static const char* const kRanges[6][2] = {
        {"100x75 > ", ""},
        {"100x75 <= ", " < 200x155"},
        {"200x150 <= ", " < 400x300"},
        {"400x300 <= ", " < 800x600"},
        {"800x600 <= ", " < 1024x768"},
        {"", " => 1024x768"},
    };
    m_plb[0]->setText(QString::fromLatin1(kRanges[p][0]) + t + QString::fromLatin1(kRanges[p][1]));
    const std::uint8_t mode = m_settings.options.GroupDisplayEdit[static_cast<std::size_t>(p)];
    const QSignalBlocker block(m_cb2);
    m_cb2->setCurrentIndex(mode < m_cb2->count() ? mode : -1);
}

void TfMain::cb2Change() {
    m_settings.options.GroupDisplayEdit[static_cast<std::size_t>(m_tb1->value())] =
        static_cast<std::uint8_t>(m_cb2->currentIndex());
}

void TfMain::applyStartupShortcut() {
    Registry& registry = *m_platform.registry;
    if (!registry.keyExists(Hive::CurrentUser, kShellFoldersKey))
        registry.createKey(Hive::CurrentUser, kShellFoldersKey);
    std::string folder = registry.readString(Hive::CurrentUser, kShellFoldersKey, "Startup");
    if (folder.empty()) folder = m_platform.shell->defaultStartupFolder();
    const std::string link = folder + "/Velluma.desktop";
    const std::string& program = m_settings.ProgramFolder;
    if (m_settings.options.RunAtStartup) {
        const bool perUser = program != m_settings.InstallFolder;
        m_platform.shell->createShortcut(startupCommand(m_settings.InstallFolder, perUser), "",
                                         program, link);
    } else {
        std::error_code ec;
        std::filesystem::remove(link, ec);  // a missing file is no error
    }
}

// --- Menus ---------------------------------------------------------------------------

void TfMain::OtherItemClick(QAction* item) {
    const int tag = item->property("Tag").toInt();
    switch (tag) {
        case 1:
            OpenDisplaySettings();
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
            m_pcOptions->setCurrentIndex(tag / 10 - 1);
            break;
        case 100:
            aboutWindow()->exec();
            break;
        case 200:
            openLink(m_settings.Links[0]);
            break;
        case 300:
            OpenHelpFile();
            break;
        default:
            break;
    }
}

void TfMain::sessionEnding() {
    exitStep([this] {
        if (restoreDesktop) restoreDesktop();
    });
    if (!m_closed) close();
}

}  // namespace velluma
