#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace velluma {

struct Platform;
struct Settings;
struct ThemeContext;
class TRAgent;
class ThemeList;
class ListLibrary;
class PictureView;
class ReportPage;

/// What a page of the main window may use of it: texts, the error guard, the status line
/// and the commands a page may call. The pages never see the window itself.
class PageHost {
public:
    virtual ~PageHost() = default;

    /// The current language's text of a key.
    virtual QString text(const char* section, const char* key) const = 0;
    /// Runs a handler body under the default error report; false when it failed.
    virtual bool guard(const std::function<void()>& body) = 0;

    // What the pages work on.
    virtual Settings& settings() = 0;
    virtual Platform& platform() = 0;
    virtual ThemeContext& themes() = 0;
    virtual TRAgent& agent() = 0;
    /// The rows of the two libraries and the pictures view; null while the page that
    /// shows them is missing.
    virtual ThemeList* themeList() const = 0;
    virtual ListLibrary* listLibrary() const = 0;
    virtual PictureView* pictureView() const = 0;

    // The status line.
    /// Shows the control's "hint" property in status panel 0 while the mouse is over it.
    virtual void watchHover(QWidget* control) = 0;
    /// A command's own message; the periodic refresh leaves it alone.
    virtual void showStatusMessage(const QString& message) = 0;
    /// Text that the next periodic refresh replaces.
    virtual void showStatusText(const QString& text) = 0;
    /// Lets the periodic refresh write status panel 0 again.
    virtual void clearHintMark() = 0;
    virtual void UpdateStatusBar() = 0;

    // Commands.
    /// Presses a page-selector button by Tag (0 ... 3).
    virtual void pressSelector(int tag) = 0;
    /// Shows a page by index (0 ... 4) without a selector button.
    virtual void showPage(int index) = 0;
    /// The report page, built when first asked for.
    virtual ReportPage* reportPage() = 0;
    /// Opens a web address with the desktop's browser.
    virtual void openLink(const std::string& address) = 0;
    /// Puts a picture on the desktop (an empty path clears the wallpaper).
    virtual void showPicture(const std::string& path) = 0;
    /// Switches on in theme mode / in picture mode.
    virtual void tbbONOFFPM00Click() = 0;
    virtual void tbbONOFFPM01Click() = 0;
};

}  // namespace velluma
