#include "ui/ThemeLibraryPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "ui/MainWindow.h"
#include "ui/Widgets.h"

namespace velluma {

ThemeLibraryPage::ThemeLibraryPage(TfMain& window, QWidget* sheet)
    : MainWindowPage(window, sheet),
      m_barLabel(makeBarLabel(sheet, "lbThemeBarCaption")),
      m_lvAdvanc(makeReportView(sheet, "lvAdvanc", 3)) {
    layout()->addWidget(m_barLabel);
    layout()->addWidget(m_lvAdvanc);
}

void ThemeLibraryPage::applyLanguage() {
    m_barLabel->setText(QStringLiteral("  ") + m_window.text("BUTTONS_CAPTIONS", "bc1"));
    for (int c = 0; c < 3; ++c) {
        const std::string key = "lvcolumn" + std::to_string(c);
        m_lvAdvanc->headerItem()->setText(c, m_window.text("PAGE_QUILLORY", key.c_str()));
    }
}

void ThemeLibraryPage::formResize(int w) {
    const int widths[3] = {150, 100, 253};
    for (int c = 0; c < 3; ++c) m_lvAdvanc->header()->resizeSection(c, w * widths[c] / 620);
}

QString ThemeLibraryPage::statusText() const {
    return m_window.text("STATUS_BAR", "msg0") + QStringLiteral(": ") +
           QString::number(m_lvAdvanc->topLevelItemCount()) + QStringLiteral("   ") +
           m_window.text("STATUS_BAR", "msg1") + QStringLiteral(": ../advThemes/") +
           QString::fromStdString(fileNamePart(m_window.settings().cadvTheme));
}

}  // namespace velluma
