#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QStatusBar;
class QTimer;
class QWidget;

namespace velluma {

class MessageBoxes;
class TLanguage;
struct TOptions;

/// The status bar's panels: panel 0 says what the page on display is about, panel 1 the
/// mode. A hint under the mouse or a command's message holds panel 0 (the hint mark) until
/// the mouse leaves or the page clears it; otherwise Timer1 refreshes it every second. The
/// mode is refreshed every second in any case.
class StatusLine final : public QObject {
    Q_OBJECT
public:
    /// pageText gives panel 0's text for the page on display.
    StatusLine(QStatusBar* bar, const TLanguage& language, const TOptions& options,
               MessageBoxes& boxes, std::function<QString()> pageText, QObject* parent);

    void UpdateStatusBar();
    void Timer1Timer();
    /// A command's own message in panel 0; the periodic refresh leaves it alone.
    void showStatusMessage(const QString& message);
    /// Text in panel 0 that the next periodic refresh replaces (no hint mark).
    void showStatusText(const QString& text);
    /// The hint mark: 1 while a hint or message holds panel 0.
    int hintMark() const { return m_hintMark; }
    void clearHintMark() { m_hintMark = 0; }
    /// Panel 1: the current mode.
    void showMode();
    /// Shows the hint of a control in panel 0 while the mouse is over it: a selector
    /// button's from the language by its Tag, any other's "hint" property.
    void watchHover(QWidget* control, bool selector = false);
    /// Panel widths in proportion to the window's width.
    void formResize(int windowWidth);

Q_SIGNALS:
    /// Panel 1 shows the mode in modeText.
    void modeShown(const QString& modeText);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setPanel(int index, const QString& text);
    void hoverEnter(QObject* control, bool selector);
    void hoverLeave();
    QString text(const char* section, const char* key) const;

    const TLanguage& m_language;
    const TOptions& m_options;
    MessageBoxes& m_boxes;
    std::function<QString()> m_pageText;
    QLabel* m_panel[3] = {};
    QTimer* m_timer1;
    int m_hintMark = 0;
};

}  // namespace velluma
