#include "ui/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/Options.h"
#include "platform/Platform.h"
#include "platform/posix/PageLauncher.h"
#include "ui/About.h"
#include "ui/BuilderPage.h"
#include "ui/ClampingSpinBox.h"
#include "ui/Icons.h"
#include "ui/ImageListPage.h"
#include "ui/RadioGroup.h"
#include "ui/ReportPage.h"
#include "ui/ThemeLibraryPage.h"
#include "ui/Widgets.h"
#include "ui/WindowPageHost.h"

namespace velluma {

TfMain::TfMain(AppContext& context, QWidget* parent)
    : QMainWindow(parent),
      m_context(context),
      m_platform(context.platform),
      m_settings(context.settings),
      // The library's scan is most of the start-up: it runs while the frame is built.
      m_host(std::make_unique<WindowPageHost>(*this)),
      m_libraryReadAhead(std::make_unique<LibraryReadAhead>(context.themes)) {
    setObjectName(QStringLiteral("fMain"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    buildFrame();
    guard([this] { FormCreate(); });
    // Said once per run where the machine cannot confine the page program.
    // The reason, in the system's words, goes to standard error with the notice.
    PageLauncher::setNoticeHandler([this](const std::string&) {
        QTimer::singleShot(0, this,
                           [this] { showStatusMessage(text("STATUS_BAR", "unconfined")); });
    });
}

TfMain::~TfMain() {
    PageLauncher::setNoticeHandler({});
    // The pages' handlers need the whole window: the pages go before the widgets, which
    // still send focus events while they are destroyed.
    for (MainWindowPage* page : m_pages) delete page;
}

void TfMain::buildFrame() {
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

    buildToolBar();
    row->addWidget(buildSelector());
    m_pageControl = new QStackedWidget(central);
    m_pageControl->setObjectName(QStringLiteral("PageControl"));
    row->addWidget(m_pageControl, 1);
    buildPages();
    buildStatusBar();
    buildTimers();
    buildTray();
    setMenuBar(new QMenuBar(this));
    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    for (int i = 0; i < 9; ++i) m_ilMainMenu.push_back(menuIcon(i));

    resize(620, 479 + menuBar()->sizeHint().height());
    setMinimumSize(628, 506);
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
        watchHover(button, true);
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

void TfMain::buildToolBar() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("MainToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(32, 32));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, bar);

    m_tbbONOFFPM = new QMenu(this);
    m_tbbONOFFPM->setObjectName(QStringLiteral("tbbONOFFPM"));
    m_tbbONOFFPM1 = m_tbbONOFFPM->addMenu(QString());
    m_tbbONOFFPM1->setObjectName(QStringLiteral("tbbONOFFPM1"));
    m_tbbONOFFPM1->menuAction()->setObjectName(QStringLiteral("tbbONOFFPM1"));
    m_tbbONOFFPM1->menuAction()->setCheckable(true);
    m_tbbONOFFPM2 = m_tbbONOFFPM->addAction(QString());
    m_tbbONOFFPM2->setObjectName(QStringLiteral("tbbONOFFPM2"));
    m_tbbONOFFPM2->setCheckable(true);

    m_tbbOnOff = new QToolButton(bar);
    m_tbbOnOff->setObjectName(QStringLiteral("tbbOnOff"));
    m_tbbOnOff->setPopupMode(QToolButton::MenuButtonPopup);
    m_tbbOnOff->setMenu(m_tbbONOFFPM);
    m_tbbOnOff->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(m_tbbOnOff);

    m_tbbChState = new QToolButton(bar);
    m_tbbChState->setObjectName(QStringLiteral("tbbChState"));
    m_tbbChState->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(m_tbbChState);

    m_filler = new QFrame(bar);
    m_filler->setObjectName(QStringLiteral("ToolBarFiller"));
    static_cast<QFrame*>(m_filler)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_filler->setFixedHeight(32);
    bar->addWidget(m_filler);

    m_bOK = new QToolButton(bar);
    m_bOK->setObjectName(QStringLiteral("bOK"));
    m_bOK->setText(QStringLiteral(":ok."));
    m_bOK->setFocusPolicy(Qt::NoFocus);
    m_bOK->setMinimumWidth(48);
    bar->addWidget(m_bOK);
    connect(m_bOK, &QToolButton::clicked, this, [this] {
        guard([this] {
            ControlsToSettings();
            SettingsToControls();
            HideToTray();
        });
    });
    connect(m_tbbOnOff, &QToolButton::clicked, this,
            [this] { guard([this] { tbbOnOffClick(); }); });
    connect(m_tbbChState, &QToolButton::clicked, this,
            [this] { guard([this] { tbbChStateClick(); }); });
    connect(m_tbbONOFFPM2, &QAction::triggered, this,
            [this] { guard([this] { tbbONOFFPM2Click(); }); });
    for (QToolButton* b : {m_tbbOnOff, m_tbbChState, m_bOK}) watchHover(b, false);
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
    m_pages = {m_themePage, m_listPage};
    buildOptionsPage(m_pageControl->widget(2));
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
        m_about->onOpenLink = [this](const std::string& address) { openLink(address); };
        m_about->applyTexts(m_language);
    }
    return m_about;
}

void TfMain::buildOptionsPage(QWidget* page) {
    m_pcOptions = new QTabWidget(page);
    m_pcOptions->setObjectName(QStringLiteral("PCOptions"));
    page->layout()->addWidget(m_pcOptions);
    const char* sheetNames[3] = {"tsPrg", "tsAdv", "tsSlS"};
    QVBoxLayout* sheetLayout[3] = {};
    for (int i = 0; i < 3; ++i) {
        auto* sheet = new QWidget(m_pcOptions);
        sheet->setObjectName(QString::fromLatin1(sheetNames[i]));
        sheetLayout[i] = new QVBoxLayout(sheet);
        m_lbOp[i] = new QLabel(sheet);
        m_lbOp[i]->setObjectName(QStringLiteral("lbOp%1").arg(i + 1));
        QFont bold = m_lbOp[i]->font();
        bold.setBold(true);
        m_lbOp[i]->setFont(bold);
        sheetLayout[i]->addWidget(m_lbOp[i]);
        m_pcOptions->addTab(sheet, QString());
    }
    connect(m_pcOptions, &QTabWidget::currentChanged, this, [this] {
        if (m_hintMark == 0) guard([this] { UpdateStatusBar(); });
    });

    m_cbsAbout = new QCheckBox(m_pcOptions->widget(0));
    m_cbsAbout->setObjectName(QStringLiteral("cbsAbout"));
    m_cbAutoRun = new QCheckBox(m_pcOptions->widget(0));
    m_cbAutoRun->setObjectName(QStringLiteral("cbAutoRun"));
    sheetLayout[0]->addWidget(m_cbsAbout);
    sheetLayout[0]->addWidget(m_cbAutoRun);
    sheetLayout[0]->addStretch(1);

    QWidget* adv = m_pcOptions->widget(1);
    m_rg1 = new RadioGroup(adv);
    m_rg1->setObjectName(QStringLiteral("rg1"));
    m_rg2 = new RadioGroup(adv);
    m_rg2->setObjectName(QStringLiteral("rg2"));
    m_gbTime = new QGroupBox(adv);
    m_gbTime->setObjectName(QStringLiteral("gbTime"));
    auto* time = new QHBoxLayout(m_gbTime);
    m_seMin = new ClampingSpinBox(m_gbTime);
    m_seMin->setObjectName(QStringLiteral("seMin"));
    m_seMin->setRange(1, 1440);
    m_seMin->setValue(1);
    m_lbmin = new QLabel(m_gbTime);
    m_lbmin->setObjectName(QStringLiteral("lbmin"));
    m_seSec = new ClampingSpinBox(m_gbTime);
    m_seSec->setObjectName(QStringLiteral("seSec"));
    m_seSec->setRange(0, 59);
    m_lbSec = new QLabel(m_gbTime);
    m_lbSec->setObjectName(QStringLiteral("lbSec"));
    time->addWidget(m_seMin);
    time->addWidget(m_lbmin);
    time->addSpacing(12);
    time->addWidget(m_seSec);
    time->addWidget(m_lbSec);
    time->addStretch(1);
    sheetLayout[1]->addWidget(m_rg1);
    sheetLayout[1]->addWidget(m_rg2);
    sheetLayout[1]->addWidget(m_gbTime);
    sheetLayout[1]->addStretch(1);
    connect(m_rg1, &RadioGroup::changed, this, [this] { guard([this] { rg1Change(); }); });
    auto* slideShow = new QWidget(m_pcOptions->widget(2));
    slideShow->setObjectName(QStringLiteral("tsSlSArea"));
    slideShow->setMinimumSize(510, 285);
    sheetLayout[2]->addWidget(slideShow);
    sheetLayout[2]->addStretch(1);
    buildSlideShowSheet(slideShow);
}

// Controls at their design positions below the sheet's title strip.
void TfMain::buildSlideShowSheet(QWidget* area) {
    auto place = [](QWidget* w, const char* name, int x, int y, int width, int height) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(x, y - 24, width, height);
    };
    m_rg11 = new RadioGroup(area);
    place(m_rg11, "rg11", 0, 24, 185, 105);
    m_rg12 = new RadioGroup(area);
    place(m_rg12, "rg12", 0, 133, 185, 70);
    m_gb1 = new QGroupBox(area);
    place(m_gb1, "gb1", 0, 208, 185, 70);
    m_semin1 = new ClampingSpinBox(m_gb1);
    m_semin1->setObjectName(QStringLiteral("semin1"));
    m_semin1->setRange(1, 1440);
    m_semin1->setGeometry(10, 24, 45, 22);
    m_lbmin1 = new QLabel(m_gb1);
    m_lbmin1->setObjectName(QStringLiteral("lbmin1"));
    m_lbmin1->setGeometry(58, 27, 36, 16);
    m_sesec2 = new ClampingSpinBox(m_gb1);
    m_sesec2->setObjectName(QStringLiteral("sesec2"));
    m_sesec2->setRange(0, 59);
    m_sesec2->setGeometry(96, 24, 45, 22);
    m_lbsec1 = new QLabel(m_gb1);
    m_lbsec1->setObjectName(QStringLiteral("lbsec1"));
    m_lbsec1->setGeometry(144, 27, 38, 16);
    m_rg13 = new RadioGroup(area);
    place(m_rg13, "rg13", 192, 24, 313, 253);
    m_rg13->setItemSpacing(70);
    // The group's own controls lie over rg13, under its second item.
    m_cb1 = new QComboBox(area);
    place(m_cb1, "cb1", 217, 88, 120, 22);
    for (int i = 0; i < 3; ++i) {
        m_plb[i] = new QLabel(area);
        m_plb[i]->setObjectName(QStringLiteral("plb%1").arg(i + 1));
    }
    place(m_plb[0], "plb1", 216, 160, 240, 16);
    m_tb1 = new QSlider(Qt::Horizontal, area);
    place(m_tb1, "tb1", 217, 176, 240, 25);
    m_tb1->setRange(0, 5);
    m_tb1->setTickPosition(QSlider::TicksBelow);
    m_tb1->setPageStep(1);
    place(m_plb[1], "plb2", 216, 208, 249, 16);  // as wide as plb3: room for longer languages
    m_cb2 = new QComboBox(area);
    place(m_cb2, "cb2", 217, 224, 120, 22);
    place(m_plb[2], "plb3", 216, 252, 249, 16);
    for (QWidget* w : {static_cast<QWidget*>(m_cb1), static_cast<QWidget*>(m_plb[0]),
                       static_cast<QWidget*>(m_tb1), static_cast<QWidget*>(m_plb[1]),
                       static_cast<QWidget*>(m_cb2), static_cast<QWidget*>(m_plb[2])})
        w->raise();

    for (RadioGroup* g : {m_rg11, m_rg13})
        connect(g, &RadioGroup::changed, this, [this] { guard([this] { rg1Change(); }); });
    connect(m_tb1, &QSlider::valueChanged, this, [this] { guard([this] { tb1Change(); }); });
    connect(m_cb2, &QComboBox::activated, this, [this] { guard([this] { cb2Change(); }); });
}

void TfMain::buildStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    setStatusBar(bar);
    for (int i = 0; i < 3; ++i) {
        m_statusPanel[i] = new QLabel(bar);
        m_statusPanel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_statusPanel[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_statusPanel[i]->setTextFormat(Qt::PlainText);
        bar->addWidget(m_statusPanel[i]);
    }
}

void TfMain::buildTimers() {
    const char* names[4] = {"Timer1", "Timer2", "Timer3", "Timer4"};
    for (int i = 0; i < 4; ++i) {
        m_timer[i] = new QTimer(this);
        m_timer[i]->setObjectName(QString::fromLatin1(names[i]));
    }
    // Rotation intervals are minutes long; a coarse timer would drift by seconds.
    m_timer[2]->setTimerType(Qt::PreciseTimer);
    m_timer[3]->setTimerType(Qt::PreciseTimer);
    m_timer[0]->setInterval(1000);
    connect(m_timer[0], &QTimer::timeout, this, [this] { guard([this] { Timer1Timer(); }); });
    m_timer[0]->start();
    connect(m_timer[2], &QTimer::timeout, this, [this] { guard([this] { Timer3Timer(); }); });
    connect(m_timer[3], &QTimer::timeout, this, [this] { guard([this] { Timer4Timer(); }); });
    m_timer[1]->setInterval(200);
    m_timer[1]->start();  // the picture preview's title comes with the pictures view
}

void TfMain::buildTray() {
    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    m_pmtryIcon = new QMenu(this);
    m_pmtryIcon->setObjectName(QStringLiteral("pmtryIcon"));
    for (int i = 0; i < 3; ++i) {
        m_pmtryIconItem[i] = m_pmtryIcon->addAction(QString());
        m_pmtryIconItem[i]->setObjectName(QStringLiteral("pmtryIcon%1").arg(i));
    }
    QFont bold = m_pmtryIcon->font();
    bold.setBold(true);
    m_pmtryIconItem[0]->setFont(bold);  // the default item
    m_pmtryIcon->setDefaultAction(m_pmtryIconItem[0]);
    connect(m_pmtryIconItem[0], &QAction::triggered, this,
            [this] { guard([this] { TrayIconDblClick(); }); });
    connect(m_pmtryIconItem[1], &QAction::triggered, this,
            [this] { guard([this] { OpenDisplaySettings(); }); });
    connect(m_pmtryIconItem[2], &QAction::triggered, this, [this] { guard([this] { close(); }); });
    m_trayIcon->setContextMenu(m_pmtryIcon);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A right click opens the menu by itself; clicks and double clicks show.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    guard([this] { TrayIconDblClick(); });
            });
    if (QSystemTrayIcon::isSystemTrayAvailable()) m_trayIcon->show();
}

void TfMain::FormCreate() {
    // 1. The builder's captured picture and pointer position come with the builder page.
    // 2. Tray icon image.
    m_trayIcon->setIcon(trayImage(m_settings.options.Enabled));
    // 3. Minimise hides to the tray: see changeEvent.
    // 4. Builder defaults come with the builder page.
    // 5. The two switch-on items under tbbONOFFPM1.
    m_tbbONOFFPM00 = m_tbbONOFFPM1->addAction(QString());
    m_tbbONOFFPM00->setObjectName(QStringLiteral("tbbONOFFPM00"));
    m_tbbONOFFPM01 = m_tbbONOFFPM1->addAction(QString());
    m_tbbONOFFPM01->setObjectName(QStringLiteral("tbbONOFFPM01"));
    for (QAction* mode : {m_tbbONOFFPM00, m_tbbONOFFPM01}) mode->setCheckable(true);
    connect(m_tbbONOFFPM00, &QAction::triggered, this,
            [this] { guard([this] { tbbONOFFPM00Click(); }); });
    connect(m_tbbONOFFPM01, &QAction::triggered, this,
            [this] { guard([this] { tbbONOFFPM01Click(); }); });
    // 6. Texts.
    m_language.Load(m_settings.options.LanguageFileName);
    ApplyLanguage();
    // 7, 8. Tool-bar and page images.
    updateOnOffControls();
    // 9-13. The pages fill their views.
    for (MainWindowPage* page : m_pages) page->formCreate();
    // 14. Rotation timers.
    armRotationTimers();
    // 15. The saved content goes on the desktop.
    showSavedContent();
}

void TfMain::updateOnOffControls() {
    const TOptions& o = m_settings.options;
    m_tbbOnOff->setIcon(buttonImage(o.Enabled ? 19 : 20));
    m_tbbONOFFPM1->menuAction()->setChecked(o.Enabled);
    m_tbbONOFFPM2->setChecked(!o.Enabled);
    if (m_tbbONOFFPM00) m_tbbONOFFPM00->setChecked(o.state == 0);
    if (m_tbbONOFFPM01) m_tbbONOFFPM01->setChecked(o.state != 0);
    m_tbbChState->setIcon(buttonImage(o.state == 0 ? 2 : 3));
}

}  // namespace velluma
