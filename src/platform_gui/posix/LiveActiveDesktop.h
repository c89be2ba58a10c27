#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ActiveDesktop.h"

namespace velluma {

class WorkFolderCleaner;

/// Whatever plays a page as the live desktop background.
class LivePage {
public:
    virtual ~LivePage() = default;
    /// Plays startPage, a file inside workFolder; the folder is all the page may reach.
    virtual void show(const std::string& workFolder, const std::string& startPage) = 0;
    /// Stops playing and frees what playing took.
    virtual void close() = 0;
    /// The folders playing may still read: the one of the page on screen and those of pages
    /// asked for that have neither come up nor failed yet.
    virtual std::vector<std::string> foldersInUse() const = 0;

    /// Runs whenever a page came on screen or could not.
    void onSettled(std::function<void()> handler) { m_settled = std::move(handler); }

protected:
    void settled() {
        if (m_settled) m_settled();
    }

private:
    std::function<void()> m_settled;
};

/// The Active Desktop state kept by another ActiveDesktop, brought to life: whenever the
/// changes are applied with the Active Desktop on and a page as its background, that page
/// plays; otherwise nothing does. The work folders of the themes it played go once no page
/// needs them (workFolders may be null: they stay).
class LiveActiveDesktop final : public ActiveDesktop {
public:
    LiveActiveDesktop(std::unique_ptr<ActiveDesktop> state, std::unique_ptr<LivePage> page,
                      WorkFolderCleaner* workFolders = nullptr);
    ~LiveActiveDesktop() override;

    ComponentsOptions desktopItemOptions() override;
    void setDesktopItemOptions(const ComponentsOptions& options) override;
    void setWallpaper(const std::string& path) override;
    void applyChanges() override;

    /// The folder a page may reach: the theme's work folder when the page lies in one,
    /// else the page's own folder.
    static std::string workFolderOf(const std::string& page);
    /// Whether a background path names a page rather than a picture.
    static bool isPage(const std::string& path);

private:
    void removeUnusedWorkFolders();

    std::unique_ptr<ActiveDesktop> m_state;
    std::unique_ptr<LivePage> m_page;
    WorkFolderCleaner* m_workFolders;
    std::optional<std::string> m_stagedWallpaper;
    std::string m_wallpaper;            // the background last applied
    std::vector<std::string> m_played;  // folders of pages played and not yet removed
};

}  // namespace velluma
