#pragma once

#include <QObject>
#include <functional>
#include <string>

class QTimer;

namespace velluma {

struct Platform;
struct Settings;
struct ThemeContext;
class TRAgent;
class ThemeList;
class ListLibrary;
class PictureView;

/// What the desktop shows: the on/off switch, the mode (a theme or a picture) and the two
/// rotations with their timers (Timer3 themes, Timer4 pictures). It works on the rows
/// through their interfaces and knows no window: the controls that show its state follow
/// its signals.
class DesktopController final : public QObject {
    Q_OBJECT
public:
    struct Services {
        Settings& settings;
        Platform& platform;
        ThemeContext& themes;
        TRAgent& agent;
        /// The current language's guide, shown by a theme whose start page is missing.
        std::function<std::string()> helpFile;
        /// Runs a timer's handler under the program's error report; empty runs it bare.
        std::function<void(const std::function<void()>&)> guard;
    };

    explicit DesktopController(Services services, QObject* parent = nullptr);

    /// Where the rotations choose from; any may be null. Without a pictures view the
    /// picture rotation finds its place in the list file's lines.
    void setRows(ThemeList* themes, ListLibrary* lists, PictureView* pictures);
    ThemeList* themeList() const { return m_themeList; }
    ListLibrary* listLibrary() const { return m_listLibrary; }
    PictureView* pictureView() const { return m_pictureView; }

    // The tool bar's commands, by their established names.
    void tbbOnOffClick();
    /// Switches on in theme mode.
    void tbbONOFFPM00Click();
    /// Switches on in picture mode.
    void tbbONOFFPM01Click();
    /// Switches off.
    void tbbONOFFPM2Click();
    void tbbChStateClick();

    // The rotations.
    void ChooseNextTheme();
    void ChooseNextPicture();
    void Timer3Timer();
    void Timer4Timer();
    /// Starts, re-arms or stops the two rotation timers after the settings.
    void armRotationTimers();

    /// The saved content at start-up: the theme or the picture of the saved mode (the
    /// next one when that rotation turns at each start), when switched on.
    void showSavedContent();
    /// Puts a picture on the desktop (an empty path clears the wallpaper).
    void showPicture(const std::string& path);

    /// Puts the recorded desktop back (on switching off).
    std::function<void()> restoreDesktop;

Q_SIGNALS:
    /// On/off or the mode changed.
    void stateChanged();
    /// A mode switch asks for the page of the new mode: 0 themes, 1 pictures.
    void pageWanted(int tag);

private:
    void applyTheme();
    void guarded(const std::function<void()>& handler);

    Services m_services;
    ThemeList* m_themeList = nullptr;
    ListLibrary* m_listLibrary = nullptr;
    PictureView* m_pictureView = nullptr;
    QTimer* m_timer3;
    QTimer* m_timer4;
};

}  // namespace velluma
