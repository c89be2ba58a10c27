#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "themes/LibraryReadAhead.h"
#include "themes/ThemeList.h"
#include "ui/MainWindowPage.h"

class QAction;
class QEvent;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolButton;
class QTreeWidget;

namespace velluma {

class ThemeRows;
struct ThemeContext;

/// Page 0, the theme library — the installed theme packages in lvAdvanc, with
/// their commands, sorting, drops and folder search.
class ThemeLibraryPage final : public MainWindowPage {
    Q_OBJECT
public:
    /// readAhead, when given, holds the library as formCreate is to list it.
    ThemeLibraryPage(PageHost& host, QWidget* sheet,
                     std::unique_ptr<LibraryReadAhead> readAhead = nullptr);
    ~ThemeLibraryPage() override;

    /// Creation step 9: fill the view from advThemes and restore the saved sort.
    void formCreate() override;
    void applyLanguage() override;
    void formResize(int windowWidth) override;
    QString statusText() const override;

    QTreeWidget* lvAdvanc() const { return m_lvAdvanc; }
    ThemeRows& rows() const { return *m_rows; }
    /// The rows as the package operations and the rotation see them.
    ThemeList& themeList() const;

    // Events and commands, by their established names.
    void lvAdvancEnter();
    void lvAdvancSelectItem();
    void lvAdvancColumnClick(int column);
    void lvAdvancDblClick();
    /// Returns whether the key was one of the list's own.
    bool lvAdvancKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void ShowRecycleState();
    void padvbApplayClick();
    void padvbCreateClick();
    void padvbOpenClick();
    void padvbRemoveClick();
    void padvbRemPM1Click();
    void padvbRemPM2Click();
    void padvbDeleteClick();
    void padvbReportClick();
    /// The download button: opens link2.
    void pilbDownloadClick();
    /// The I key: opens link1.
    void padvbDownloadClick();
    /// Files and folders dropped on lvAdvanc, whole names in drop order.
    void HandleThemeDrop(const std::vector<std::string>& names);
    /// The folder search of a dropped folder (TSearchAndAddThread, Kind 0).
    void searchFolder(const std::string& path);

    /// Sorts the rows again by the sort column and its direction.
    void sortRows();
    int sortColumn() const { return m_sortColumn; }
    /// The header image of a column (-1 none, 6 ascending, 7 descending, 8 neutral).
    int headerImage(int column) const { return m_headerImage[static_cast<std::size_t>(column)]; }
    /// The Tag of a column: 1 while its next click restores instead of toggling.
    int columnTag(int column) const { return m_columnTag[static_cast<std::size_t>(column)]; }

    /// What advOpenDialog is opened with.
    struct OpenDialogState {
        std::string initialDir;    // "" for none
        bool noChangeDir = false;  // keep the process's current directory unchanged
        std::string filter;
    };
    const OpenDialogState& advOpenDialog() const { return m_advOpenDialog; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    void buildMenus();
    void setHeaderImage(int column, int image);
    void setDialogFilter();
    /// Moves (recycle) or deletes the selected packages and removes their rows.
    void removeSelected(bool recycle);
    /// Moves a package into the recycle folder; never loses it.
    void moveToRecycled(const std::string& package);
    bool dropEvent(QEvent* event);

    QWidget* m_toolBar;
    QToolButton* m_padvbApplay;
    QToolButton* m_padvbCreate;
    QToolButton* m_padvbOpen;
    QToolButton* m_padvbRemove;
    QToolButton* m_padvbDelete;
    QToolButton* m_padvbReport;
    QToolButton* m_padvbDownload;
    QLabel* m_barLabel;
    QTreeWidget* m_lvAdvanc;
    std::unique_ptr<ThemeRows> m_rows;
    std::unique_ptr<LibraryReadAhead> m_readAhead;

    QMenu* m_padvlvPopup = nullptr;
    std::array<QAction*, 4> m_padvPM{};
    QMenu* m_padvbRemPM = nullptr;
    QAction* m_padvbRemPM1 = nullptr;
    QAction* m_padvbRemPM2 = nullptr;

    int m_sortColumn = 0;
    std::array<int, 3> m_headerImage{6, 8, 8};
    std::array<int, 3> m_columnTag{0, 0, 0};
    std::array<int, 3> m_maxWidth{150, 100, 253};
    OpenDialogState m_advOpenDialog;
};

}  // namespace velluma
