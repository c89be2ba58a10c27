#pragma once

#include <QObject>
#include <QString>

class QVBoxLayout;
class QWidget;

namespace velluma {

class PageHost;

/// One page of the main window: it builds its controls into the page's sheet and takes
/// part in the window's creation, texts, layout, status line and settings.
class MainWindowPage : public QObject {
    Q_OBJECT
public:
    /// sheet is the page's container; its layout already holds the page's title label.
    MainWindowPage(PageHost& host, QWidget* sheet);

    /// Its steps of the window's creation, in page order.
    virtual void formCreate() {}
    /// Rewrites every text of the page from the current language.
    virtual void applyLanguage() {}
    /// Lays out columns in proportion to the window's width.
    virtual void formResize(int /*windowWidth*/) {}
    /// Status panel 0 while the page is on display.
    virtual QString statusText() const { return {}; }

protected:
    QVBoxLayout* layout() const;

    PageHost& m_host;
    QWidget* m_sheet;
};

}  // namespace velluma
