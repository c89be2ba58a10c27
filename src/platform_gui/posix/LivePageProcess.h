#pragma once

#include <QObject>
#include <QProcess>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform_gui/posix/LiveActiveDesktop.h"
#include "platform_gui/posix/PageLauncher.h"

namespace velluma {

class BackgroundLayer;
class MessageBoxes;
class Registry;
class Screen;
class WallpaperRefresh;

/// Plays pages in the page program (velluma-page), a process of its own, so a page that
/// crashes or leaks never takes the tray program down and closing frees all it took.
/// Where the desktop cannot host a window behind its icons, a still of the page becomes
/// the classic wallpaper instead.
class LivePageProcess final : public QObject, public LivePage {
    Q_OBJECT
public:
    struct Services {
        MessageBoxes& messages;
        Registry& registry;
        WallpaperRefresh& wallpaperRefresh;
        Screen& screen;  // the still is rendered at the desktop's size in device pixels
        /// Where the window system keeps no place behind the windows, the shell's (or null).
        std::shared_ptr<BackgroundLayer> backgroundLayer = {};
    };

    /// The environment variable that hands the page program the token its window carries
    /// for the shell's background layer.
    static constexpr const char* kTokenVariable = "VELLUMA_SHELL_TOKEN";

    /// program: the page program's path; workFolders: where themes are unpacked (a running
    /// page program reads them all, so the next theme needs no new one); stillFolder: where
    /// stills of pages are kept, the only folder a page program writes to.
    LivePageProcess(std::string program, std::string workFolders, std::string stillFolder,
                    Services services, PageLauncher launcher = PageLauncher());
    ~LivePageProcess() override;

    void show(const std::string& workFolder, const std::string& startPage) override;
    void close() override;
    std::vector<std::string> foldersInUse() const override;

    /// The page program's process id, 0 when none runs.
    qint64 processId() const;

    /// The start page as the page program takes it, in its live and still modes alike:
    /// relative to the work folder that holds it.
    static std::string pageWithin(const std::string& workFolder, const std::string& startPage);

Q_SIGNALS:
    /// A line the page program wrote ("shown …", "error …", "paused", "resumed").
    void reported(const QString& line);

private:
    struct Request {
        std::string folder;
        std::string page;  // relative to the folder
    };
    void start(const std::string& reach);
    void retire();
    void readLines();
    void handleLine(const QString& line);
    void noDesktopLayer();
    void stillInstead(const std::string& note);
    void tellCovered(bool covered);
    void showStill();
    void stillDone(int exitCode, QProcess::ExitStatus status);
    void reportOnce(const std::string& text);
    void ask(const Request& request);
    void settle(const QString& line);

    std::string m_program;
    std::string m_workFolders;
    std::string m_stillFolder;
    Services m_services;
    PageLauncher m_launcher;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QProcess> m_still;
    std::string m_workFolder;
    std::string m_startPage;         // relative to m_workFolder
    std::string m_reach;             // the folder the running page program reads
    std::optional<Request> m_asked;  // told the page program, not answered yet
    std::optional<Request> m_next;   // to tell once it is answered
    std::string m_onScreen;          // the folder of the page on screen
    bool m_noDesktopLayer = false;   // the desktop has no place for a live page
    bool m_setupOffered = false;     // the shell's background layer was offered this run
    bool m_layerClaimed = false;     // the running page program's window has the shell's place
    bool m_reported = false;         // one message per run
};

}  // namespace velluma
