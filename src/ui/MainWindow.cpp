#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QLabel>

#include "core/Options.h"

namespace velluma {

TfMain::TfMain(AppContext& context, QWidget* parent) : QMainWindow(parent), m_context(context) {
    setObjectName(QStringLiteral("fMain"));
    m_language.Load(m_context.settings.options.LanguageFileName);
    setWindowTitle(QString::fromStdString(m_language.Caption()));
    auto* label = new QLabel(QString::fromStdString(m_language.Caption()), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(620, 479);
    setMinimumSize(628, 506);
}

void TfMain::sessionEnding() {
    if (restoreDesktop) restoreDesktop();
    close();
}

void TfMain::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && onClosed) onClosed();
}

}  // namespace velluma
