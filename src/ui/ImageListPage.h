#pragma once

#include <QPersistentModelIndex>
#include <memory>
#include <string>
#include <vector>

#include "imagelists/ListOperations.h"
#include "imagelists/ListSorting.h"
#include "ui/MainWindowPage.h"

class QAction;
class QItemSelection;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeWidget;

namespace velluma {

class ListLibrary;
class ListViewRows;
class PicturesPanel;

/// Page 1: the image lists and the pictures of the selected one. The upper half is the
/// list library: its tool bar, the lists view and their menus.
class ImageListPage final : public MainWindowPage {
    Q_OBJECT
public:
    ImageListPage(PageHost& host, QWidget* sheet);
    ~ImageListPage() override;

    void formCreate() override;
    void applyLanguage() override;
    void formResize(int windowWidth) override;
    QString statusText() const override;

    QTreeWidget* lvILists() const { return m_lvILists; }
    /// The rows of lvILists as the list operations and the slide show see them.
    ListLibrary& listLibrary() const;
    /// The lower half of the page: the pictures view and the preview.
    QWidget* lowerHalf() const { return m_lowerHalf; }
    PicturesPanel& pictures() const { return *m_pictures; }

    // Commands and events, by their established names. Each runs under the window's error
    // report.
    void pilbApplayClick();
    void pilbCreateClick();
    void pilbAddClick();
    void pilbRemoveClick();
    void pilILPM3Click();
    void pilbRemPM2Click();
    void pilbDeleteClick();
    void pilbDownloadClick();
    void lvIListsColumnClick(int column);
    void lvIListsSelectItem(int row, bool selected);
    void lvIListsEnter();
    /// The user confirmed caption as the new name of the row's list.
    void lvIListsEdited(int row, const QString& caption);
    /// Returns true when the key was taken here; other keys go on to the view and the
    /// window.
    bool lvIListsKeyDown(const QKeyEvent& event);
    /// Names dropped from the file manager, whole and in drop order.
    void HandleListDrop(const std::vector<std::string>& names);
    /// pilbRemove's hint and glyph after the recycle folder's state.
    void updateRemoveButton();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class ListViewRows;
    friend class ListItemDelegate;

    void buildToolBar();
    void buildMenus();
    QToolButton* addButton(const char* name, int glyph, int width);
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void showSortImages();
    void sortRows();
    /// Fills the pictures view (when there is one) with the row's entries; -1 empties it.
    void fillPictures(int row, bool reportErrors);
    void setListTitle(const QString& caption);
    void importLists(const std::string& folder, const QString& title);
    void afterRemoval(bool refresh);
    void editFinished(const QPersistentModelIndex& index, const QString& caption);

    ListContext m_context;
    ListSortState m_sort;
    std::unique_ptr<ListViewRows> m_rows;
    std::string m_importFolder;  // where the import dialog opens; "" lets it choose
    bool m_inEnter = false;

    QLabel* m_barLabel = nullptr;
    QToolBar* m_toolBar = nullptr;  // ToolBar1
    QToolButton* m_pilbApplay = nullptr;
    QToolButton* m_pilbCreate = nullptr;
    QToolButton* m_pilbAdd = nullptr;
    QToolButton* m_pilbRemove = nullptr;
    QToolButton* m_pilbDelete = nullptr;
    QToolButton* m_pilbDownload = nullptr;
    QTreeWidget* m_lvILists = nullptr;
    QMenu* m_pilILPM = nullptr;
    QAction* m_pilILPM1 = nullptr;
    QAction* m_pilILPM2 = nullptr;
    QAction* m_pilILPM3 = nullptr;
    QAction* m_pilILPM4 = nullptr;
    QMenu* m_pilbRemPM = nullptr;
    QAction* m_pilbRemPM1 = nullptr;
    QAction* m_pilbRemPM2 = nullptr;
    QLabel* m_p22articlelabel = nullptr;
    QWidget* m_lowerHalf = nullptr;
    QLabel* m_p23articlelabel = nullptr;
    PicturesPanel* m_pictures = nullptr;
};

}  // namespace velluma
