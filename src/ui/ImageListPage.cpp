#include "ui/ImageListPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "ui/MainWindow.h"
#include "ui/Widgets.h"

namespace velluma {

ImageListPage::ImageListPage(TfMain& window, QWidget* sheet)
    : MainWindowPage(window, sheet),
      m_barLabel(makeBarLabel(sheet, "lbListBarCaption")),
      m_p22articlelabel(makeArticleLabel(sheet, "p22articlelabel")),
      m_lvILists(makeReportView(sheet, "lvILists", 3)),
      m_p23articlelabel(makeArticleLabel(sheet, "p23articlelabel")) {
    layout()->addWidget(m_barLabel);
    layout()->addWidget(m_p22articlelabel);
    layout()->addWidget(m_lvILists);
    layout()->addWidget(m_p23articlelabel);
    layout()->addStretch(1);
}

void ImageListPage::applyLanguage() {
    m_barLabel->setText(QStringLiteral("  ") + m_window.text("BUTTONS_CAPTIONS", "bc2"));
    m_p22articlelabel->setText(QStringLiteral(":: ") + m_window.text("PAGES_ARTICLES", "p5") +
                               QStringLiteral(" ::"));
    m_p23articlelabel->setText(QStringLiteral(":: ") + m_window.text("PAGES_ARTICLES", "p6") +
                               QStringLiteral("::"));
    for (int c = 0; c < 3; ++c) {
        const std::string key = "lvilistscolumn" + std::to_string(c);
        m_lvILists->headerItem()->setText(c, m_window.text("PAGE_IMAGE_LISTS", key.c_str()));
    }
}

void ImageListPage::formResize(int w) {
    const int widths[3] = {150, 100, 250};
    for (int c = 0; c < 3; ++c) m_lvILists->header()->resizeSection(c, w * widths[c] / 620);
}

QString ImageListPage::statusText() const {
    return m_window.text("STATUS_BAR", "msg4") + QStringLiteral(": ") +
           QString::number(m_lvILists->topLevelItemCount()) + QStringLiteral("   ") +
           m_window.text("STATUS_BAR", "msg5") + QStringLiteral(": ../imgLists/") +
           QString::fromStdString(fileNamePart(m_window.settings().cIList));
}

}  // namespace velluma
