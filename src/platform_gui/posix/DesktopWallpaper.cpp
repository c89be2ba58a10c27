#include "platform_gui/posix/DesktopWallpaper.h"

#include <dirent.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <cstdio>
#include <filesystem>

#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "platform_gui/posix/DesktopCall.h"
#include "platform_gui/posix/GSettingsBackground.h"
#include "platform_gui/posix/PlasmaBackground.h"
#include "platform_gui/posix/QtRegularFile.h"
#include "platform_gui/posix/RootPixmapBackground.h"
#include "platform_gui/posix/SwayBackground.h"
#include "platform_gui/posix/XfceBackground.h"

namespace velluma {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kCopyPrefix = "desktop-";
constexpr std::chrono::seconds kQuietAfterTimeout{60};

// The number of a copy's file name ("desktop-12.bmp"), or -1 for any other file.
long copyNumber(const std::string& name) {
    if (name.rfind(kCopyPrefix, 0) != 0) return -1;
    const std::size_t start = std::string(kCopyPrefix).size();
    const std::size_t dot = name.find('.', start);
    const std::string digits = name.substr(start, dot == std::string::npos ? dot : dot - start);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stol(digits);
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return names;
    while (const dirent* entry = readdir(dir.get())) names.emplace_back(entry->d_name);
    return names;
}

std::string extensionOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot);
}

int screenCount() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 1;
    return int(QGuiApplication::screens().size());
}

}  // namespace

DesktopWallpaperRefresh::DesktopWallpaperRefresh(std::unique_ptr<DesktopBackground> background,
                                                 Registry& registry, MessageBoxes& messages,
                                                 Screen& screen, std::string ownFolder)
    : m_background(std::move(background)),
      m_registry(registry),
      m_messages(messages),
      m_screen(screen),
      m_ownFolder(std::move(ownFolder)) {}

DesktopWallpaperRefresh::~DesktopWallpaperRefresh() {
    if (!m_background || !m_user) return;
    try {
        if (m_showingOurs) {
            m_background->restore(m_user->state);
            m_showingOurs = false;
        }
        removeCopies({});
        for (const char* name : {"Desktop", "State", "Wallpaper", "TileWallpaper"})
            m_registry.deleteValue(Hive::CurrentUser, kRecordKey, name);
    } catch (const std::exception& e) {
        // The record stays, so the next start puts the background back.
        std::fprintf(stderr, "Velluma: the desktop background was not put back: %s\n", e.what());
    }
}

void DesktopWallpaperRefresh::takeOverDesktop() {
    if (!m_background) return;
    DesktopState now;
    try {
        now = m_background->read();
    } catch (const std::exception& e) {
        report(e.what());  // nothing is kept: there is nothing we could put back
        return;
    }
    std::optional<DesktopState> kept = loadRecord();
    if (now.ownPicture && kept) {
        m_user = std::move(kept);  // a run that did not end left our picture on screen
        m_showingOurs = true;
    } else {
        m_user = std::move(now);
    }
    try {
        m_registry.setValues(Hive::CurrentUser, kRecordKey,
                             {{"Desktop", RegValue::string(m_background->name())},
                              {"State", RegValue::string(m_user->state)},
                              {"Wallpaper", RegValue::string(m_user->wallpaper)},
                              {"TileWallpaper", RegValue::string(m_user->tileWallpaper)}});
        m_registry.setValues(Hive::CurrentUser, kDesktopKey,
                             {{"Wallpaper", RegValue::string(m_user->wallpaper)},
                              {"TileWallpaper", RegValue::string(m_user->tileWallpaper)}});
    } catch (const std::exception& e) {
        report(std::string("the user's background could not be kept: ") + e.what());
    }
}

void DesktopWallpaperRefresh::refresh() {
    const std::string wallpaper =
        m_registry.readString(Hive::CurrentUser, kDesktopKey, "Wallpaper");
    const std::string tile = m_registry.readString(Hive::CurrentUser, kDesktopKey, "TileWallpaper");
    if (!m_background) return;  // no desktop: the values are all there is

    if (m_user && wallpaper == m_user->wallpaper && tile == m_user->tileWallpaper) {
        try {
            m_background->restore(m_user->state);
            m_showingOurs = false;
            removeCopies({});
        } catch (const std::exception& e) {
            report(e.what());
        }
        return;
    }

    if (std::chrono::steady_clock::now() < m_quietUntil) return;
    m_showingOurs = true;  // also when the desktop fails half-way
    try {
        const Placement placement = placementFor(wallpaper, tile);
        std::string file = wallpaper;
        if (placement != Placement::None && m_background->readsFileLater())
            file = stableCopy(wallpaper);
        m_background->show(file, placement);
        removeCopies(file);
    } catch (const DesktopTimeout& e) {
        m_quietUntil = std::chrono::steady_clock::now() + kQuietAfterTimeout;
        report(e.what());
    } catch (const std::exception& e) {
        report(e.what());
    }
}

Placement DesktopWallpaperRefresh::placementFor(const std::string& wallpaper,
                                                const std::string& tile) {
    if (wallpaper.empty()) return Placement::None;
    if (tile == "1") return Placement::Tile;
    // Stretched pictures come at the desktop's size; any other one keeps its own, centred.
    QFile file;
    std::string whyNot;
    const QSize size =
        OpenRegularQFile(wallpaper, file, whyNot) ? QImageReader(&file).size() : QSize();
    if (!size.isValid()) throw DesktopError("the picture \"" + wallpaper + "\" cannot be read");
    const ScreenSize desktop = m_screen.virtualDesktopSize();
    if (size.width() == desktop.width && size.height() == desktop.height)
        return screenCount() > 1 ? Placement::Span : Placement::Stretch;
    return Placement::Centre;
}

// The desktop reads the picture after we return, and may read it again later, while the
// setter replaces its file at every change: the desktop gets a copy of its own, under a new
// name each time, so that it cannot take a name it has read before for the same picture.
std::string DesktopWallpaperRefresh::stableCopy(const std::string& file) {
    if (m_nextCopy == 0) {
        for (const std::string& name : folderEntries(m_ownFolder))
            m_nextCopy = std::max(m_nextCopy, unsigned(std::max(0L, copyNumber(name))));
        ++m_nextCopy;
    }
    std::string copy =
        m_ownFolder + "/" + kCopyPrefix + std::to_string(m_nextCopy++) + extensionOf(file);
    std::error_code ec;
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        std::filesystem::remove(copy, ec);
        throw DesktopError("the picture could not be copied for the desktop to \"" + copy +
                           "\": " + ec.message());
    }
    return copy;
}

// Copies no longer shown go, except those the user's own background refers to.
void DesktopWallpaperRefresh::removeCopies(const std::string& keep) {
    for (const std::string& name : folderEntries(m_ownFolder)) {
        const std::string path = m_ownFolder + "/" + name;
        if (copyNumber(name) < 0 || path == keep) continue;
        if (m_user && m_user->state.find(name) != std::string::npos) continue;
        ::unlink(path.c_str());
    }
}

std::optional<DesktopState> DesktopWallpaperRefresh::loadRecord() {
    if (m_registry.readString(Hive::CurrentUser, kRecordKey, "Desktop") != m_background->name())
        return std::nullopt;
    DesktopState kept;
    kept.state = m_registry.readString(Hive::CurrentUser, kRecordKey, "State");
    kept.wallpaper = m_registry.readString(Hive::CurrentUser, kRecordKey, "Wallpaper");
    kept.tileWallpaper = m_registry.readString(Hive::CurrentUser, kRecordKey, "TileWallpaper");
    if (kept.state.empty()) return std::nullopt;
    return kept;
}

void DesktopWallpaperRefresh::report(const std::string& problem) {
    std::fprintf(stderr, "Velluma: the desktop background: %s\n", problem.c_str());
    if (m_reported) return;
    m_reported = true;  // before the box: a timer tick may come while it is open
    m_messages.show("Velluma cannot change the background of " + m_background->name() + ": " +
                        problem +
                        ".\n\nVelluma goes on and keeps trying; this message is not shown again "
                        "until the next start.",
                    "Velluma", MessageIcon::Warning);
}

std::unique_ptr<DesktopBackground> makeDesktopBackground(DesktopKind kind,
                                                         const DesktopProbe& probe,
                                                         const std::string& ownFolder) {
    switch (kind) {
        case DesktopKind::None:
            return nullptr;
        case DesktopKind::Gnome:
            return std::make_unique<GSettingsBackground>(GSettingsBackground::Flavour::Gnome,
                                                         ownFolder);
        case DesktopKind::Cinnamon:
            return std::make_unique<GSettingsBackground>(GSettingsBackground::Flavour::Cinnamon,
                                                         ownFolder);
        case DesktopKind::Mate:
            return std::make_unique<GSettingsBackground>(GSettingsBackground::Flavour::Mate,
                                                         ownFolder);
        case DesktopKind::Plasma:
            return std::make_unique<PlasmaBackground>(ownFolder);
        case DesktopKind::Xfce: {
            std::vector<std::string> monitors;
            if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
                for (const QScreen* s : QGuiApplication::screens())
                    monitors.push_back(s->name().toStdString());
            return std::make_unique<XfceBackground>(ownFolder, std::move(monitors));
        }
        case DesktopKind::Sway:
            return std::make_unique<SwayBackground>(probe.swaySocket);
        case DesktopKind::X11Root:
            return std::make_unique<RootPixmapBackground>(std::string(), ownFolder);
    }
    return nullptr;
}

}  // namespace velluma
