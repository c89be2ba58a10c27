#include "ui/MainWindowPage.h"

#include <QVBoxLayout>
#include <QWidget>

namespace velluma {

MainWindowPage::MainWindowPage(TfMain& window, QWidget* sheet)
    : QObject(sheet), m_window(window), m_sheet(sheet) {}

QVBoxLayout* MainWindowPage::layout() const {
    return static_cast<QVBoxLayout*>(m_sheet->layout());
}

}  // namespace velluma
