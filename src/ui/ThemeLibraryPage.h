#pragma once

#include "ui/MainWindowPage.h"

class QLabel;
class QTreeWidget;

namespace velluma {

/// Page 0: the theme library.
class ThemeLibraryPage final : public MainWindowPage {
    Q_OBJECT
public:
    ThemeLibraryPage(TfMain& window, QWidget* sheet);

    void applyLanguage() override;
    void formResize(int windowWidth) override;
    QString statusText() const override;

    QTreeWidget* lvAdvanc() const { return m_lvAdvanc; }

private:
    QLabel* m_barLabel;
    QTreeWidget* m_lvAdvanc;
};

}  // namespace velluma
