#include "ui/OptionsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "core/DataFolder.h"
#include "core/Options.h"
#include "core/ResolutionAgent.h"
#include "platform/Platform.h"
#include "ui/ClampingSpinBox.h"
#include "ui/PageHost.h"
#include "ui/RadioGroup.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

constexpr const char* kShellFoldersKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

OptionsPage::OptionsPage(PageHost& host, QWidget* sheet) : MainWindowPage(host, sheet) {
    m_pcOptions = new QTabWidget(sheet);
    m_pcOptions->setObjectName(QStringLiteral("PCOptions"));
    layout()->addWidget(m_pcOptions);
    const char* sheetNames[3] = {"tsPrg", "tsAdv", "tsSlS"};
    QVBoxLayout* sheetLayout[3] = {};
    for (int i = 0; i < 3; ++i) {
        auto* tab = new QWidget(m_pcOptions);
        tab->setObjectName(QString::fromLatin1(sheetNames[i]));
        sheetLayout[i] = new QVBoxLayout(tab);
        m_lbOp[i] = new QLabel(tab);
        m_lbOp[i]->setObjectName(QStringLiteral("lbOp%1").arg(i + 1));
        QFont bold = m_lbOp[i]->font();
        bold.setBold(true);
        m_lbOp[i]->setFont(bold);
        sheetLayout[i]->addWidget(m_lbOp[i]);
        m_pcOptions->addTab(tab, QString());
    }
    connect(m_pcOptions, &QTabWidget::currentChanged, this, [this] { Q_EMIT sheetChanged(); });

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
    connect(m_rg1, &RadioGroup::changed, this, [this] { m_host.guard([this] { rg1Change(); }); });
    auto* slideShow = new QWidget(m_pcOptions->widget(2));
    slideShow->setObjectName(QStringLiteral("tsSlSArea"));
    slideShow->setMinimumSize(510, 285);
    sheetLayout[2]->addWidget(slideShow);
    sheetLayout[2]->addStretch(1);
    buildSlideShowSheet(slideShow);
}

// Controls at their design positions below the sheet's title strip.
void OptionsPage::buildSlideShowSheet(QWidget* area) {
    auto place = [](QWidget* w, const char* name, int x, int y, int width, int height) {
        placeControl(w, name, x, y, width, height, 24);
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
        connect(g, &RadioGroup::changed, this, [this] { m_host.guard([this] { rg1Change(); }); });
    connect(m_tb1, &QSlider::valueChanged, this, [this] { m_host.guard([this] { tb1Change(); }); });
    connect(m_cb2, &QComboBox::activated, this, [this] { m_host.guard([this] { cb2Change(); }); });
}

void OptionsPage::applyLanguage() {
    auto t = [this](const char* section, const char* key) { return m_host.text(section, key); };
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        m_pcOptions->setTabText(i,
                                t("PAGE_OPTIONS", ("caption" + n).c_str()) + QStringLiteral("  "));
        m_pcOptions->widget(i)->setProperty("hint", t("PAGE_OPTIONS", ("hint" + n).c_str()));
        m_pcOptions->setTabToolTip(i, t("PAGE_OPTIONS", ("hint" + n).c_str()));
        m_lbOp[i]->setText(QStringLiteral(".:") + t("PAGE_OPTIONS", ("lb" + n).c_str()) +
                           QStringLiteral(" ."));
    }
    m_cbsAbout->setText(t("PAGE_OPTIONS", "tsPrgcb0"));
    m_cbAutoRun->setText(t("PAGE_OPTIONS", "tsPrgcb1"));
    m_gbTime->setTitle(t("PAGE_OPTIONS", "tsAdvgbTime"));
    m_rg1->setTitle(t("PAGE_OPTIONS", "tsAdvrg0"));
    m_rg2->setTitle(t("PAGE_OPTIONS", "tsAdvrg1"));
    m_lbmin->setText(t("PAGE_OPTIONS", "tsAdvlb0"));
    m_lbSec->setText(t("PAGE_OPTIONS", "tsAdvlb1"));
    // Radio groups get their items again (the selection stays).
    m_rg1->setItems({t("PAGE_OPTIONS", "tsAdvrgitem0"), t("PAGE_OPTIONS", "tsAdvrgitem1"),
                     t("PAGE_OPTIONS", "tsAdvrgitem2")});
    m_rg2->setItems({t("PAGE_OPTIONS", "tsAdvrgitem3"), t("PAGE_OPTIONS", "tsAdvrgitem4")});
    m_rg11->setTitle(t("PAGE_OPTIONS", "tsILrg11"));
    m_rg11->setItems({t("PAGE_OPTIONS", "tsAdvrgitem0"), t("PAGE_OPTIONS", "tsAdvrgitem1"),
                      t("PAGE_OPTIONS", "tsAdvrgitem2")});
    m_rg12->setTitle(t("PAGE_OPTIONS", "tsAdvrg1"));
    m_rg12->setItems({t("PAGE_OPTIONS", "tsAdvrgitem3"), t("PAGE_OPTIONS", "tsAdvrgitem4")});
    m_gb1->setTitle(t("PAGE_OPTIONS", "tsAdvgbTime"));
    m_lbmin1->setText(t("PAGE_OPTIONS", "tsAdvlb0"));
    m_lbsec1->setText(t("PAGE_OPTIONS", "tsAdvlb1"));
    m_rg13->setTitle(t("PAGE_OPTIONS", "tsILrg13"));
    m_rg13->setItems({t("PAGE_OPTIONS", "tsILrg13item0"), t("PAGE_OPTIONS", "tsILrg13item1")});
    const QStringList modes = {t("PAGE_OPTIONS", "cbitem0"), t("PAGE_OPTIONS", "cbitem1"),
                               t("PAGE_OPTIONS", "cbitem2")};
    for (QComboBox* box : {m_cb1, m_cb2}) {
        const QSignalBlocker block(box);
        const int keep = box->currentIndex();
        box->clear();
        box->addItems(modes);
        box->setCurrentIndex(keep);
    }
    m_plb[1]->setText(t("PAGE_OPTIONS", "tsIllb1"));
    showDesktopSize();  // a switch while the window is shown must not leave the old label
    tb1Change();
}

QString OptionsPage::statusText() const {
    return m_pcOptions->currentWidget()->property("hint").toString();
}

void OptionsPage::showSheet(int index) {
    m_pcOptions->setCurrentIndex(index);
}

void OptionsPage::showDesktopSize() {
    m_plb[2]->setText(m_host.text("PAGE_OPTIONS", "tsIllb2") + QStringLiteral(": ") +
                      QString::fromStdString(m_host.agent().ResolutionText()));
}

void OptionsPage::SettingsToControls() {
    const TOptions& o = m_host.settings().options;
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
}

void OptionsPage::ControlsToSettings() {
    TOptions& o = m_host.settings().options;
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
}

void OptionsPage::rg1Change() {
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

void OptionsPage::tb1Change() {
    const int p = m_tb1->value();
    const QString t = m_host.text("PAGE_OPTIONS", "tsIllb0");
    static const char* const kRanges[6][2] = {
        {"100x75 > ", ""},
        {"100x75 <= ", " < 200x155"},
        {"200x150 <= ", " < 400x300"},
        {"400x300 <= ", " < 800x600"},
        {"800x600 <= ", " < 1024x768"},
        {"", " => 1024x768"},
    };
    m_plb[0]->setText(QString::fromLatin1(kRanges[p][0]) + t + QString::fromLatin1(kRanges[p][1]));
    const std::uint8_t mode =
        m_host.settings().options.GroupDisplayEdit[static_cast<std::size_t>(p)];
    const QSignalBlocker block(m_cb2);
    m_cb2->setCurrentIndex(mode < m_cb2->count() ? mode : -1);
}

void OptionsPage::cb2Change() {
    m_host.settings().options.GroupDisplayEdit[static_cast<std::size_t>(m_tb1->value())] =
        static_cast<std::uint8_t>(m_cb2->currentIndex());
}

void OptionsPage::applyStartupShortcut() {
    Platform& platform = m_host.platform();
    Registry& registry = *platform.registry;
    if (!registry.keyExists(Hive::CurrentUser, kShellFoldersKey))
        registry.createKey(Hive::CurrentUser, kShellFoldersKey);
    std::string folder = registry.readString(Hive::CurrentUser, kShellFoldersKey, "Startup");
    if (folder.empty()) folder = platform.shell->defaultStartupFolder();
    const std::string link = folder + "/Velluma.desktop";
    const Settings& settings = m_host.settings();
    const std::string& program = settings.ProgramFolder;
    if (settings.options.RunAtStartup) {
        const bool perUser = program != settings.InstallFolder;
        platform.shell->createShortcut(startupCommand(settings.InstallFolder, perUser), "", program,
                                       link);
    } else {
        std::error_code ec;
        std::filesystem::remove(link, ec);  // a missing file is no error
    }
}

}  // namespace velluma
