#pragma once

#include "ui/MainWindowPage.h"

class QLabel;
class QTreeWidget;

namespace velluma {

/// Page 1: the image lists and the pictures of the selected one.
class ImageListPage final : public MainWindowPage {
    Q_OBJECT
public:
    ImageListPage(TfMain& window, QWidget* sheet);

    void applyLanguage() override;
    void formResize(int windowWidth) override;
    QString statusText() const override;

    QTreeWidget* lvILists() const { return m_lvILists; }

private:
    QLabel* m_barLabel;
    QLabel* m_p22articlelabel;
    QTreeWidget* m_lvILists;
    QLabel* m_p23articlelabel;
};

}  // namespace velluma
