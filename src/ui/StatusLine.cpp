#include "ui/StatusLine.h"

#include <QEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <string>

#include "core/Options.h"
#include "language/Language.h"
#include "ui/ErrorReport.h"

namespace velluma {

StatusLine::StatusLine(QStatusBar* bar, const TLanguage& language, const TOptions& options,
                       MessageBoxes& boxes, std::function<QString()> pageText, QObject* parent)
    : QObject(parent),
      m_language(language),
      m_options(options),
      m_boxes(boxes),
      m_pageText(std::move(pageText)),
      m_timer1(new QTimer(this)) {
    for (int i = 0; i < 3; ++i) {
        m_panel[i] = new QLabel(bar);
        m_panel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panel[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panel[i]->setTextFormat(Qt::PlainText);
        bar->addWidget(m_panel[i]);
    }
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this,
            [this] { runGuarded(m_boxes, [this] { Timer1Timer(); }); });
    m_timer1->start();
}

QString StatusLine::text(const char* section, const char* key) const {
    return QString::fromStdString(m_language.text(section, key));
}

void StatusLine::setPanel(int index, const QString& value) {
    QLabel* panel = m_panel[index];
    panel->setText(value);
    // A message longer than its panel (a long file name) can still be read whole.
    const bool cut = panel->fontMetrics().horizontalAdvance(value) > panel->contentsRect().width();
    panel->setToolTip(cut ? value : QString());
}

void StatusLine::formResize(int windowWidth) {
    const int panels[3] = {320, 150, 150};
    for (int i = 0; i < 3; ++i) m_panel[i]->setFixedWidth(windowWidth * panels[i] / 620);
}

void StatusLine::showStatusMessage(const QString& message) {
    m_hintMark = 1;
    setPanel(0, message);
}

void StatusLine::showStatusText(const QString& value) {
    setPanel(0, value);
}

void StatusLine::watchHover(QWidget* control, bool selector) {
    control->setProperty("selectorButton", selector);
    control->installEventFilter(this);
}

bool StatusLine::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter)
        runGuarded(m_boxes,
                   [&] { hoverEnter(watched, watched->property("selectorButton").toBool()); });
    else if (event->type() == QEvent::Leave)
        runGuarded(m_boxes, [this] { hoverLeave(); });
    return QObject::eventFilter(watched, event);
}

void StatusLine::hoverEnter(QObject* control, bool selector) {
    m_hintMark = 1;
    if (selector) {
        const std::string key = "hint" + std::to_string(control->property("Tag").toInt());
        setPanel(0, text("BUTTONLIST_CAPTIONS", key.c_str()));
    } else {
        setPanel(0, control->property("hint").toString());
    }
}

void StatusLine::hoverLeave() {
    m_hintMark = 0;
    UpdateStatusBar();
}

void StatusLine::Timer1Timer() {
    if (m_hintMark == 0) {
        UpdateStatusBar();
    } else {
        showMode();  // a hint holds panel 0 only
    }
}

void StatusLine::showMode() {
    const QString mode =
        m_options.state == 0 ? text("STATUS_BAR", "msg8") : text("STATUS_BAR", "msg9");
    setPanel(1, mode);
    Q_EMIT modeShown(mode);
}

void StatusLine::UpdateStatusBar() {
    showMode();
    setPanel(0, m_pageText ? m_pageText() : QString());
}

}  // namespace velluma
