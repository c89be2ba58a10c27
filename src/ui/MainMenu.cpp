#include "ui/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "language/Language.h"
#include "ui/ErrorReport.h"
#include "ui/Icons.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

QString menuCaption(const QAction* item) {
    QString caption = item->text();
    return caption.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

}  // namespace

MainMenu::MainMenu(QMenuBar* bar, const std::vector<TMLang>& languages, MessageBoxes& boxes)
    : QObject(bar), m_bar(bar), m_languages(languages), m_boxes(boxes) {
    for (int i = 0; i < 9; ++i) m_ilMainMenu.push_back(menuIcon(i));
}

void MainMenu::applyLanguage(const TLanguage& language, const std::string& languageFile) {
    auto t = [&language](const char* key) {
        return literalMenuText(QString::fromStdString(language.text("MAINMENU", key)));
    };
    const char* titles[4] = {"a0name", "a1name", "a2name", "a3name"};
    struct Command {
        const char* key;
        int menu;
        int tag;
    };
    const Command commands[9] = {{"a00name", 0, 1},   {"a01name", 0, 2},   {"a02name", 0, 3},
                                 {"a10name", 1, 10},  {"a11name", 1, 20},  {"a12name", 1, 30},
                                 {"a30name", 3, 100}, {"a31name", 3, 200}, {"a32name", 3, 300}};
    if (m_mainMenus.empty()) {
        for (int i = 0; i < 4; ++i) {
            QMenu* menu = m_bar->addMenu(t(titles[i]));
            menu->setObjectName(QStringLiteral("MainMenu%1").arg(i));
            m_mainMenus.push_back(menu);
        }
        for (int i = 0; i < 9; ++i) {
            QAction* item = m_mainMenus[commands[i].menu]->addAction(m_ilMainMenu[i], QString());
            item->setObjectName(QStringLiteral("MainMenuItem%1").arg(commands[i].tag));
            item->setProperty("Tag", commands[i].tag);
            connect(item, &QAction::triggered, this, [this, item] {
                runGuarded(m_boxes, [&] { Q_EMIT commandChosen(item->property("Tag").toInt()); });
            });
            m_commandItems.push_back(item);
        }
        for (const TMLang& lang : m_languages) {
            QAction* item = m_mainMenus[2]->addAction(
                flagIcon(lang.Flag), literalMenuText(QString::fromStdString(lang.Name)));
            item->setCheckable(true);
            item->setIconVisibleInMenu(true);
            connect(item, &QAction::triggered, this,
                    [this, item] { runGuarded(m_boxes, [&] { Q_EMIT languageChosen(item); }); });
            m_languageItems.push_back(item);
        }
    } else {
        for (int i = 0; i < 4; ++i) m_mainMenus[i]->setTitle(t(titles[i]));
    }
    for (int i = 0; i < 9; ++i) m_commandItems[i]->setText(t(commands[i].key));
    for (std::size_t i = 0; i < m_languageItems.size(); ++i)
        m_languageItems[i]->setChecked(m_languages[i].Path == languageFile);
}

std::string MainMenu::languageFileOf(const QAction* item) const {
    const std::string caption = menuCaption(item).toStdString();
    for (const TMLang& lang : m_languages)
        if (lang.Name == caption) return lang.Path;
    return {};
}

}  // namespace velluma
