#pragma once

#include <QObject>

class QAction;
class QMainWindow;
class QMenu;
class QToolButton;
class QWidget;

namespace velluma {

class DesktopController;
class MessageBoxes;
class StatusLine;
class TLanguage;
struct TOptions;

/// The main tool bar: the on/off switch with its menu (on in theme mode, on in picture
/// mode, off), the mode switch and the OK button.
class MainToolBar final : public QObject {
    Q_OBJECT
public:
    MainToolBar(QMainWindow& window, DesktopController& desktop, StatusLine& status,
                MessageBoxes& boxes);

    void applyLanguage(const TLanguage& language);
    /// The images and check marks after on/off and the mode.
    void showState(const TOptions& options);
    void formResize(int windowWidth);

Q_SIGNALS:
    void okClicked();

private:
    QToolButton* m_tbbOnOff = nullptr;
    QToolButton* m_tbbChState = nullptr;
    QMenu* m_tbbONOFFPM = nullptr;
    QMenu* m_tbbONOFFPM1 = nullptr;
    QAction* m_tbbONOFFPM2 = nullptr;
    QAction* m_tbbONOFFPM00 = nullptr;
    QAction* m_tbbONOFFPM01 = nullptr;
    QWidget* m_filler = nullptr;
    QToolButton* m_bOK = nullptr;
};

}  // namespace velluma
