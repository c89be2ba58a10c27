#include "ui/TransientWindows.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QPointer>

namespace velluma {
namespace {

// Reaches the view's own way of closing an editor without committing it.
struct EditorCloser : QAbstractItemView {
    using QAbstractItemView::closeEditor;
    using QAbstractItemView::state;
    static constexpr State kEditing = EditingState;
};

void dropOpenEdits(QWidget* topLevel) {
    QList<QAbstractItemView*> views = topLevel->findChildren<QAbstractItemView*>();
    if (auto* itself = qobject_cast<QAbstractItemView*>(topLevel)) views.append(itself);
    for (QAbstractItemView* view : views) {
        if ((view->*&EditorCloser::state)() != EditorCloser::kEditing) continue;
        // The views here place no widgets in cells: a child of the viewport is an editor.
        for (QWidget* editor :
             view->viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            (view->*&EditorCloser::closeEditor)(editor, QAbstractItemDelegate::RevertModelCache);
    }
}

}  // namespace

void closeTransientWindows() {
    // A menu that does not close is not closed twice: bounded by the number of menus open.
    for (int left = 16; left > 0; --left) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) break;
        popup->close();
    }
    QList<QPointer<QWidget>> topLevels;
    for (QWidget* w : QApplication::topLevelWidgets()) topLevels.append(w);
    for (const QPointer<QWidget>& w : topLevels) {
        if (!w) continue;  // gone with a dialog closed before it
        dropOpenEdits(w);
        if (auto* dialog = qobject_cast<QDialog*>(w.data()); dialog && dialog->isVisible())
            dialog->reject();
    }
    for (int left = 16; left > 0; --left) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) break;
        modal->close();
    }
}

}  // namespace velluma
