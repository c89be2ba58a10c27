#pragma once

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace velluma {

class MessageBoxes;
class TLanguage;

/// The tray icon and its menu (pmtryIcon): a click or double click shows the window, the
/// menu opens the display settings or ends the program.
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    /// window is what the icon shows; the icon is shown where the desktop has a tray.
    TrayIcon(QWidget& window, MessageBoxes& boxes);

    /// Whether the desktop has a notification area (without one, hiding minimises).
    static bool available();
    /// The icon's image: switched on or off.
    void showSwitchedOn(bool on);
    void applyLanguage(const TLanguage& language);
    /// The tip, set only when it changed.
    void showToolTip(const QString& tip);
    void hide();
    QSystemTrayIcon* icon() const { return m_trayIcon; }

    /// Brings the window up, restored first when it was minimised.
    void TrayIconDblClick();

Q_SIGNALS:
    /// The window was minimised and comes back: its controls show the settings again.
    void restoring();
    void displaySettingsWanted();

private:
    QWidget& m_window;
    MessageBoxes& m_boxes;
    QSystemTrayIcon* m_trayIcon;
    QMenu* m_pmtryIcon;
    QAction* m_pmtryIconItem[3] = {};
};

}  // namespace velluma
