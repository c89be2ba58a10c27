#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "core/Options.h"
#include "platform/Platform.h"
#include "ui/About.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowPage.h"
#include "ui/PicturesPanel.h"
#include "ui/RadioGroup.h"

namespace velluma {
namespace {

// Menus would take "&" as an access-key marker; the captions must stay as written.
QString literalMenuText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString menuCaption(const QAction* item) {
    QString caption = item->text();
    return caption.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

void setHint(QWidget* control, const QString& hint) {
    control->setProperty("hint", hint);
    control->setToolTip(hint);
}

}  // namespace

void TfMain::ApplyLanguage() {
    auto t = [this](const char* section, const char* key) { return text(section, key); };

    // 1. Caption.
    setWindowTitle(QString::fromStdString(m_language.Caption()));
    // 2. Main menu.
    buildMainMenu();
    // 3. Control texts.
    setHint(m_tbbOnOff, t("TOOL_BAR", "b0hint"));
    setHint(m_tbbChState, t("TOOL_BAR", "b1hint"));
    setHint(m_bOK, t("TOOL_BAR", "b2hint"));
    m_tbbONOFFPM1->setTitle(literalMenuText(t("TOOL_BAR", "b0pm0")));
    m_tbbONOFFPM2->setText(literalMenuText(t("TOOL_BAR", "b0pm1")));
    if (m_tbbONOFFPM00) m_tbbONOFFPM00->setText(literalMenuText(t("TOOL_BAR", "b0pm00")));
    if (m_tbbONOFFPM01) m_tbbONOFFPM01->setText(literalMenuText(t("TOOL_BAR", "b0pm01")));
    m_toolBarCaption->setText(QStringLiteral("  ") + t("BUTTONS_CAPTIONS", "bc0"));
    for (int i = 0; i < 3; ++i) {
        const std::string m = "m" + std::to_string(i);
        m_pmtryIconItem[i]->setText(literalMenuText(t("TRYICON_POPUPMENU", m.c_str())));
    }
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
    // The options page.
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
    // 7. Radio groups get their items again (the selection stays).
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
    // 4. Page indexes of the selector buttons.
    for (int tag = 0; tag < 5; ++tag) m_selector[tag]->setProperty("Tag", tag);
    // 9. The About window.
    if (m_about) m_about->applyTexts(m_language);
    // The hint mark keeps a message in panel 0, not the old language's mode in panel 1.
    if (m_hintMark == 0)
        UpdateStatusBar();
    else
        showMode();
}

void TfMain::buildMainMenu() {
    auto t = [this](const char* key) { return literalMenuText(text("MAINMENU", key)); };
    const char* titles[4] = {"a0name", "a1name", "a2name", "a3name"};
    struct Command {
        int menu;
        const char* key;
        int tag;
    };
    const Command commands[9] = {{0, "a00name", 1},   {0, "a01name", 2},   {0, "a02name", 3},
                                 {1, "a10name", 10},  {1, "a11name", 20},  {1, "a12name", 30},
                                 {3, "a30name", 100}, {3, "a31name", 200}, {3, "a32name", 300}};
    if (m_mainMenus.empty()) {
        for (int i = 0; i < 4; ++i) {
            QMenu* menu = menuBar()->addMenu(t(titles[i]));
            menu->setObjectName(QStringLiteral("MainMenu%1").arg(i));
            m_mainMenus.push_back(menu);
        }
        for (int i = 0; i < 9; ++i) {
            QAction* item = m_mainMenus[commands[i].menu]->addAction(m_ilMainMenu[i], QString());
            item->setObjectName(QStringLiteral("MainMenuItem%1").arg(commands[i].tag));
            item->setProperty("Tag", commands[i].tag);
            connect(item, &QAction::triggered, this,
                    [this, item] { guard([&] { OtherItemClick(item); }); });
            m_commandItems.push_back(item);
        }
        for (const TMLang& lang : m_context.languages) {
            QAction* item = m_mainMenus[2]->addAction(
                flagIcon(lang.Flag), literalMenuText(QString::fromStdString(lang.Name)));
            item->setCheckable(true);
            item->setIconVisibleInMenu(true);
            connect(item, &QAction::triggered, this,
                    [this, item] { guard([&] { LangItemClick(item); }); });
            m_languageItems.push_back(item);
        }
    } else {
        for (int i = 0; i < 4; ++i) m_mainMenus[i]->setTitle(t(titles[i]));
    }
    for (int i = 0; i < 9; ++i) m_commandItems[i]->setText(t(commands[i].key));
    for (std::size_t i = 0; i < m_languageItems.size(); ++i)
        m_languageItems[i]->setChecked(m_context.languages[i].Path ==
                                       m_settings.options.LanguageFileName);
}

void TfMain::LangItemClick(QAction* item) {
    const std::string caption = menuCaption(item).toStdString();
    for (const TMLang& lang : m_context.languages) {
        if (lang.Name != caption) continue;
        m_settings.options.LanguageFileName = lang.Path;
        m_language.Load(lang.Path);
        ApplyLanguage();
        return;
    }
    // Not found: the check marks must still show the language in use.
    buildMainMenu();
}

}  // namespace velluma
