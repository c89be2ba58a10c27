#pragma once

#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imagelists/PictureAdmission.h"

class QAction;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolButton;
class QTreeView;

namespace velluma {

class PageHost;
class PictureView;
class PictureRowsModel;
class PictureListView;
class PictureViewRows;
class PreviewImage;

/// The lower half of the image-list page: the pictures of the selected list (lvILFiles)
/// with their button column (Panel5) and pop-up menu (pilIFPM), and the preview
/// (pPrewiev). The view mirrors the list file: every command changes the file first and
/// then fills the view again from it; only a reordering by dragging changes the view alone.
class PicturesPanel final : public QWidget {
    Q_OBJECT
public:
    /// Takes over half, the page's empty lower half, and its title label, which becomes
    /// the preview's title. lists, the lists view, is disabled while pictures are added;
    /// createList makes a list where there is none.
    PicturesPanel(PageHost& host, QWidget* half, QLabel* title, QWidget* lists,
                  std::function<void()> createList);
    ~PicturesPanel() override;

    /// The rows as the list operations and the slide show see them.
    PictureView& pictureView();
    QTreeView* lvILFiles() const;

    void applyLanguage();
    /// Runs when a list has been selected: previews its first picture, or empties the
    /// preview when it has none.
    void previewFirstRow();

    // Commands and events, by their established names.
    void lvILFilesEnter();
    void pilIFPMPopup();
    /// Previews the picture of row (a row that became selected).
    void lvILFilesSelectItem(int row);
    void Timer2Timer();
    void pilbIFAddClick();
    void pilbIFRemoveClick();
    void pilbIFWallPaperClick();
    void pilbIFMoveUpClick();
    void pilbIFMoveDownClick();
    /// Replaces the selected picture by one the user chooses; it keeps its place.
    void pilbIFChangeClick();
    /// Returns true when the key was taken here; the rest go to the view and the window.
    bool lvILFilesKeyDown(const QKeyEvent& event);
    void lvILFilesDblClick();
    /// The view alone: the dragged row goes before row target (the end when target is -1
    /// or past the last row).
    void lvILFilesDragDrop(int dragged, int target);
    /// Names dropped from the file manager, whole and in drop order.
    void HandlePictureDrop(const std::vector<std::string>& names);
    void pilprewIMageDblClick();

    /// True while pictures are being measured and added, or folders wait to be searched.
    bool busy() const { return m_busy || !m_searches.empty(); }

private:
    friend class PictureViewRows;

    void buildButtons(QWidget* column);
    void buildMenu();
    QToolButton* addButton(QWidget* column, const char* name, int glyph, int y);
    void rowsChanged();
    void updateButtons();
    int selectedList() const;
    void refill(int list);
    void reportNoList();
    /// Measures the pictures in order and appends them to the list file in one write. The
    /// first that cannot be listed ends the adding: the ones before it are added, and the
    /// status line names it and says why. Returns false when one was refused.
    bool appendPictures(const std::string& listPath, const std::vector<std::string>& pictures);
    /// Status line: picture was refused for why; stopped when pictures after it were left.
    void reportRefusal(const std::string& picture, PictureRefusal why, bool stopped);
    void movePicture(bool up);
    void pictureGone(int list);
    void previewFile(const std::string& path);
    void scheduleFolderSearch(int delay);
    void startFolderSearches();
    void searchFolder(const std::string& folder, const std::string& listPath);
    void refillIfShown(const std::string& listPath);

    PageHost& m_host;
    QLabel* m_title;
    QWidget* m_lists;
    std::function<void()> m_createList;
    PictureRowsModel* m_model = nullptr;
    PictureListView* m_view = nullptr;
    std::unique_ptr<PictureViewRows> m_rows;
    QFrame* m_pPrewiev = nullptr;
    PreviewImage* m_pilprewIMage = nullptr;
    QWidget* m_panel5 = nullptr;
    QToolButton* m_pilbIFAdd = nullptr;
    QToolButton* m_pilbIFRemove = nullptr;
    QToolButton* m_pilbIFWallPaper = nullptr;
    QToolButton* m_pilbIFMoveUp = nullptr;
    QToolButton* m_pilbIFMoveDown = nullptr;
    QLabel* m_strips[5] = {};  // Label3, Label4, Label5, Label1, Label2
    QMenu* m_pilIFPM = nullptr;
    QAction* m_menuItems[6] = {};  // pilIFPM0 ... pilIFPM5
    std::string m_pictureFolder;   // where the picture dialog opens
    struct FolderSearch {
        std::string folder;
        std::string listPath;
    };
    std::deque<FolderSearch> m_searches;
    bool m_busy = false;
};

}  // namespace velluma
