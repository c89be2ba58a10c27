#pragma once

#include <QIcon>
#include <QObject>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace velluma {

class MessageBoxes;
class TLanguage;
struct TMLang;

/// The main menu: four menus of commands (each item carries its Tag) and the language
/// menu, which lists the installed languages and marks the one in use.
class MainMenu final : public QObject {
    Q_OBJECT
public:
    MainMenu(QMenuBar* bar, const std::vector<TMLang>& languages, MessageBoxes& boxes);

    /// Builds the menus on the first call; later calls rewrite their texts and mark
    /// languageFile's item.
    void applyLanguage(const TLanguage& language, const std::string& languageFile);
    /// The file of a language item's language, found by its caption; empty when no
    /// installed language has that name.
    std::string languageFileOf(const QAction* item) const;

Q_SIGNALS:
    /// A command item was chosen: its Tag.
    void commandChosen(int tag);
    /// A language item was chosen.
    void languageChosen(QAction* item);

private:
    QMenuBar* m_bar;
    const std::vector<TMLang>& m_languages;
    MessageBoxes& m_boxes;
    std::vector<QIcon> m_ilMainMenu;
    std::vector<QMenu*> m_mainMenus;
    std::vector<QAction*> m_commandItems;  // the nine command items, menu order
    std::vector<QAction*> m_languageItems;
};

}  // namespace velluma
