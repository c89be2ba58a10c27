#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ActiveDesktop.h"

namespace velluma {

/// Whatever plays a page as the live desktop background.
class LivePage {
public:
    virtual ~LivePage() = default;
    /// Plays startPage, a file inside workFolder; the folder is all the page may reach.
    virtual void show(const std::string& workFolder, const std::string& startPage) = 0;
    /// Stops playing and frees what playing took.
    virtual void close() = 0;
};

/// The Active Desktop state kept by another ActiveDesktop, brought to life: whenever the
/// changes are applied with the Active Desktop on and a page as its background, that page
/// plays; otherwise nothing does.
class LiveActiveDesktop final : public ActiveDesktop {
public:
    LiveActiveDesktop(std::unique_ptr<ActiveDesktop> state, std::unique_ptr<LivePage> page);
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
    std::unique_ptr<ActiveDesktop> m_state;
    std::unique_ptr<LivePage> m_page;
    std::optional<std::string> m_stagedWallpaper;
    std::string m_wallpaper;  // the background last applied
};

}  // namespace velluma
