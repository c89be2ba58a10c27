#include "ui/TrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <string>

#include "language/Language.h"
#include "ui/ErrorReport.h"
#include "ui/Icons.h"
#include "ui/Widgets.h"

namespace velluma {

TrayIcon::TrayIcon(QWidget& window, MessageBoxes& boxes)
    : QObject(&window),
      m_window(window),
      m_boxes(boxes),
      m_trayIcon(new QSystemTrayIcon(this)),
      m_pmtryIcon(new QMenu(&window)) {
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    m_pmtryIcon->setObjectName(QStringLiteral("pmtryIcon"));
    for (int i = 0; i < 3; ++i) {
        m_pmtryIconItem[i] = m_pmtryIcon->addAction(QString());
        m_pmtryIconItem[i]->setObjectName(QStringLiteral("pmtryIcon%1").arg(i));
    }
    QFont bold = m_pmtryIcon->font();
    bold.setBold(true);
    m_pmtryIconItem[0]->setFont(bold);  // the default item
    m_pmtryIcon->setDefaultAction(m_pmtryIconItem[0]);
    connect(m_pmtryIconItem[0], &QAction::triggered, this,
            [this] { runGuarded(m_boxes, [this] { TrayIconDblClick(); }); });
    connect(m_pmtryIconItem[1], &QAction::triggered, this,
            [this] { runGuarded(m_boxes, [this] { Q_EMIT displaySettingsWanted(); }); });
    connect(m_pmtryIconItem[2], &QAction::triggered, this,
            [this] { runGuarded(m_boxes, [this] { m_window.close(); }); });
    m_trayIcon->setContextMenu(m_pmtryIcon);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A right click opens the menu by itself; clicks and double clicks show.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    runGuarded(m_boxes, [this] { TrayIconDblClick(); });
            });
    if (available()) m_trayIcon->show();
}

bool TrayIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::showSwitchedOn(bool on) {
    m_trayIcon->setIcon(trayImage(on));
}

void TrayIcon::applyLanguage(const TLanguage& language) {
    for (int i = 0; i < 3; ++i) {
        const std::string m = "m" + std::to_string(i);
        m_pmtryIconItem[i]->setText(
            literalMenuText(QString::fromStdString(language.text("TRYICON_POPUPMENU", m.c_str()))));
    }
}

void TrayIcon::showToolTip(const QString& tip) {
    if (m_trayIcon->toolTip() != tip) m_trayIcon->setToolTip(tip);
}

void TrayIcon::hide() {
    m_trayIcon->hide();
}

void TrayIcon::TrayIconDblClick() {
    if (m_window.isMinimized()) Q_EMIT restoring();
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

}  // namespace velluma
