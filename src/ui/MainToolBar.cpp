#include "ui/MainToolBar.h"

#include <QAction>
#include <QFrame>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "control/DesktopController.h"
#include "core/Options.h"
#include "language/Language.h"
#include "ui/ErrorReport.h"
#include "ui/Icons.h"
#include "ui/StatusLine.h"
#include "ui/Widgets.h"

namespace velluma {

MainToolBar::MainToolBar(QMainWindow& window, DesktopController& desktop, StatusLine& status,
                         MessageBoxes& boxes)
    : QObject(&window) {
    auto* bar = new QToolBar(&window);
    bar->setObjectName(QStringLiteral("MainToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(32, 32));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    window.addToolBar(Qt::TopToolBarArea, bar);

    m_tbbONOFFPM = new QMenu(&window);
    m_tbbONOFFPM->setObjectName(QStringLiteral("tbbONOFFPM"));
    m_tbbONOFFPM1 = m_tbbONOFFPM->addMenu(QString());
    m_tbbONOFFPM1->setObjectName(QStringLiteral("tbbONOFFPM1"));
    m_tbbONOFFPM1->menuAction()->setObjectName(QStringLiteral("tbbONOFFPM1"));
    m_tbbONOFFPM1->menuAction()->setCheckable(true);
    m_tbbONOFFPM2 = m_tbbONOFFPM->addAction(QString());
    m_tbbONOFFPM2->setObjectName(QStringLiteral("tbbONOFFPM2"));
    m_tbbONOFFPM2->setCheckable(true);
    // The two switch-on items under tbbONOFFPM1.
    m_tbbONOFFPM00 = m_tbbONOFFPM1->addAction(QString());
    m_tbbONOFFPM00->setObjectName(QStringLiteral("tbbONOFFPM00"));
    m_tbbONOFFPM01 = m_tbbONOFFPM1->addAction(QString());
    m_tbbONOFFPM01->setObjectName(QStringLiteral("tbbONOFFPM01"));
    for (QAction* mode : {m_tbbONOFFPM00, m_tbbONOFFPM01}) mode->setCheckable(true);

    m_tbbOnOff = new QToolButton(bar);
    m_tbbOnOff->setObjectName(QStringLiteral("tbbOnOff"));
    m_tbbOnOff->setPopupMode(QToolButton::MenuButtonPopup);
    m_tbbOnOff->setMenu(m_tbbONOFFPM);
    m_tbbOnOff->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(m_tbbOnOff);

    m_tbbChState = new QToolButton(bar);
    m_tbbChState->setObjectName(QStringLiteral("tbbChState"));
    m_tbbChState->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(m_tbbChState);

    auto* filler = new QFrame(bar);
    filler->setObjectName(QStringLiteral("ToolBarFiller"));
    filler->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    filler->setFixedHeight(32);
    bar->addWidget(filler);
    m_filler = filler;

    m_bOK = new QToolButton(bar);
    m_bOK->setObjectName(QStringLiteral("bOK"));
    m_bOK->setText(QStringLiteral(":ok."));
    m_bOK->setFocusPolicy(Qt::NoFocus);
    m_bOK->setMinimumWidth(48);
    bar->addWidget(m_bOK);

    auto command = [this, &boxes](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, [&boxes, handler] { runGuarded(boxes, handler); });
    };
    command(m_bOK, &QToolButton::clicked, [this] { Q_EMIT okClicked(); });
    command(m_tbbOnOff, &QToolButton::clicked, [&desktop] { desktop.tbbOnOffClick(); });
    command(m_tbbChState, &QToolButton::clicked, [&desktop] { desktop.tbbChStateClick(); });
    command(m_tbbONOFFPM2, &QAction::triggered, [&desktop] { desktop.tbbONOFFPM2Click(); });
    command(m_tbbONOFFPM00, &QAction::triggered, [&desktop] { desktop.tbbONOFFPM00Click(); });
    command(m_tbbONOFFPM01, &QAction::triggered, [&desktop] { desktop.tbbONOFFPM01Click(); });
    for (QToolButton* b : {m_tbbOnOff, m_tbbChState, m_bOK}) status.watchHover(b);
}

void MainToolBar::applyLanguage(const TLanguage& language) {
    auto t = [&language](const char* key) {
        return QString::fromStdString(language.text("TOOL_BAR", key));
    };
    setHint(m_tbbOnOff, t("b0hint"));
    setHint(m_tbbChState, t("b1hint"));
    setHint(m_bOK, t("b2hint"));
    m_tbbONOFFPM1->setTitle(literalMenuText(t("b0pm0")));
    m_tbbONOFFPM2->setText(literalMenuText(t("b0pm1")));
    m_tbbONOFFPM00->setText(literalMenuText(t("b0pm00")));
    m_tbbONOFFPM01->setText(literalMenuText(t("b0pm01")));
}

void MainToolBar::showState(const TOptions& o) {
    m_tbbOnOff->setIcon(buttonImage(o.Enabled ? 19 : 20));
    m_tbbONOFFPM1->menuAction()->setChecked(o.Enabled);
    m_tbbONOFFPM2->setChecked(!o.Enabled);
    m_tbbONOFFPM00->setChecked(o.state == 0);
    m_tbbONOFFPM01->setChecked(o.state != 0);
    m_tbbChState->setIcon(buttonImage(o.state == 0 ? 2 : 3));
}

void MainToolBar::formResize(int windowWidth) {
    m_filler->setFixedWidth(std::max(0, windowWidth - 190));
}

}  // namespace velluma
