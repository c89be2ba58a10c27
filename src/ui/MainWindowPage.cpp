#include "ui/MainWindowPage.h"

#include <QVBoxLayout>
#include <QWidget>

namespace velluma {

MainWindowPage::MainWindowPage(PageHost& host, QWidget* sheet)
    : QObject(sheet), m_host(host), m_sheet(sheet) {}

QVBoxLayout* MainWindowPage::layout() const {
    return static_cast<QVBoxLayout*>(m_sheet->layout());
}

}  // namespace velluma
