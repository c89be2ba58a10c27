#include "platform/posix/LiveActiveDesktop.h"

#include <algorithm>
#include <cctype>
#include <utility>

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
                                     std::unique_ptr<LivePage> page)
    : m_state(std::move(state)), m_page(std::move(page)) {}

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
    if (m_state->desktopItemOptions().activeDesktop && isPage(m_wallpaper))
        m_page->show(workFolderOf(m_wallpaper), m_wallpaper);
    else
        m_page->close();
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
