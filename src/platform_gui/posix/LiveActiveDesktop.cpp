#include "platform_gui/posix/LiveActiveDesktop.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/WorkFolderCleaner.h"

namespace velluma {

namespace {
constexpr std::string_view kWorkFolders = "/advThemes/WorkDir/";

bool endsWithNoCase(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - std::ptrdiff_t(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}
}  // namespace

LiveActiveDesktop::LiveActiveDesktop(std::unique_ptr<ActiveDesktop> state,
                                     std::unique_ptr<LivePage> page, WorkFolderCleaner* workFolders)
    : m_state(std::move(state)), m_page(std::move(page)), m_workFolders(workFolders) {
    m_page->onSettled([this] { removeUnusedWorkFolders(); });
}

LiveActiveDesktop::~LiveActiveDesktop() = default;

ComponentsOptions LiveActiveDesktop::desktopItemOptions() {
    return m_state->desktopItemOptions();
}

void LiveActiveDesktop::setDesktopItemOptions(const ComponentsOptions& options) {
    m_state->setDesktopItemOptions(options);
}

void LiveActiveDesktop::setWallpaper(const std::string& path) {
    m_state->setWallpaper(path);
    m_stagedWallpaper = path;
}

void LiveActiveDesktop::applyChanges() {
    m_state->applyChanges();
    if (m_stagedWallpaper) m_wallpaper = *std::exchange(m_stagedWallpaper, std::nullopt);
    // The state is kept first, so a page that cannot play never loses what was applied.
    if (m_state->desktopItemOptions().activeDesktop && isPage(m_wallpaper)) {
        const std::string folder = workFolderOf(m_wallpaper);
        if (m_workFolders && std::find(m_played.begin(), m_played.end(), folder) == m_played.end())
            m_played.push_back(folder);
        m_page->show(folder, m_wallpaper);
    } else {
        m_page->close();
        removeUnusedWorkFolders();
    }
}

// The page applied last stays, shown or not: the Active Desktop still names it.
void LiveActiveDesktop::removeUnusedWorkFolders() {
    if (!m_workFolders) return;
    std::vector<std::string> inUse = m_page->foldersInUse();
    if (isPage(m_wallpaper)) inUse.push_back(workFolderOf(m_wallpaper));
    std::erase_if(m_played, [&](const std::string& folder) {
        if (std::find(inUse.begin(), inUse.end(), folder) != inUse.end()) return false;
        m_workFolders->remove(folder);
        return true;
    });
}

std::string LiveActiveDesktop::workFolderOf(const std::string& page) {
    const auto at = page.rfind(kWorkFolders);
    if (at != std::string::npos) {
        const auto numberStart = at + kWorkFolders.size();
        const auto numberEnd = page.find('/', numberStart);
        if (numberEnd != std::string::npos && numberEnd > numberStart)
            return page.substr(0, numberEnd);
    }
    const auto slash = page.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : page.substr(0, slash);
}

bool LiveActiveDesktop::isPage(const std::string& path) {
    return endsWithNoCase(path, ".htm") || endsWithNoCase(path, ".html");
}

}  // namespace velluma
