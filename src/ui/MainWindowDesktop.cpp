// The on/off switch, the mode and the two rotations.
#include <QSystemTrayIcon>
#include <QTimer>
#include <random>

#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/ResolutionAgent.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListLibrary.h"
#include "imagelists/PictureView.h"
#include "imagelists/WallpaperSetter.h"
#include "platform/Platform.h"
#include "themes/Presenter.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeList.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"

namespace velluma {
namespace {

// Seeded once: reseeding from a seconds clock on every pick repeats picks within a second.
int randomIndex(int count) {
    static std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, count - 1)(generator);
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

void TfMain::showPicture(const std::string& path) {
    const WallpaperContext context{m_settings.ProgramFolder, m_settings.options,
                                   *m_platform.registry, *m_platform.wallpaperRefresh,
                                   [this] { return m_context.agent.GetResolution(); }};
    SetWallpaperPicture(context, path);
}

void TfMain::showSavedContent() {
    const TOptions& o = m_settings.options;
    if (!o.Enabled) return;
    if (o.state == 0 && !m_settings.cadvTheme.empty()) {
        if (o.advChType == 1) ChooseNextTheme();
        ApplyThemePackage(themes(), m_settings.cadvTheme, helpFilePath());
    } else {
        ActiveDesktopOff(themes());
        if (o.ilChType == 1) ChooseNextPicture();
        showPicture(m_settings.cImg);
    }
}

void TfMain::tbbOnOffClick() {
    TOptions& o = m_settings.options;
    o.Enabled = !o.Enabled;
    updateOnOffControls();
    if (o.Enabled) {
        m_trayIcon->setIcon(trayImage(true));
        if (o.state == 0 && !m_settings.cadvTheme.empty()) {
            ApplyThemePackage(themes(), m_settings.cadvTheme, helpFilePath());
        } else {
            ActiveDesktopOff(themes());
            showPicture(m_settings.cImg);
        }
    } else {
        m_trayIcon->setIcon(trayImage(false));
        showPicture({});
        ActiveDesktopOff(themes());
        if (restoreDesktop) restoreDesktop();
    }
}

void TfMain::tbbONOFFPM00Click() {
    TOptions& o = m_settings.options;
    o.state = 0;
    o.Enabled = true;
    updateOnOffControls();
    m_trayIcon->setIcon(trayImage(true));
    if (!m_settings.cadvTheme.empty())
        ApplyThemePackage(themes(), m_settings.cadvTheme, helpFilePath());
}

void TfMain::tbbONOFFPM01Click() {
    TOptions& o = m_settings.options;
    o.state = 1;
    o.Enabled = true;
    updateOnOffControls();
    m_trayIcon->setIcon(trayImage(true));
    ActiveDesktopOff(themes());
    showPicture(m_settings.cImg);
}

void TfMain::tbbONOFFPM2Click() {
    m_settings.options.Enabled = false;
    updateOnOffControls();
    m_trayIcon->setIcon(trayImage(false));
    ActiveDesktopOff(themes());
    showPicture({});
}

void TfMain::tbbChStateClick() {
    TOptions& o = m_settings.options;
    o.state = o.state == 0 ? 1 : 0;
    showMode();
    updateOnOffControls();
    if (!o.Enabled) return;
    if (o.state == 0 && !m_settings.cadvTheme.empty()) {
        ApplyThemePackage(themes(), m_settings.cadvTheme, helpFilePath());
        pressSelector(0);
    } else {
        ActiveDesktopOff(themes());
        showPicture(m_settings.cImg);
        pressSelector(1);
    }
}

void TfMain::ChooseNextTheme() {
    const ThemeList* list = themeList();
    if (!list || list->rowCount() == 0) return;  // nothing to choose from
    std::string& current = m_settings.cadvTheme;
    const int count = list->rowCount();
    if (m_settings.options.advRandOrOrder == 1) {
        current = list->row(randomIndex(count)).path;
        return;
    }
    if (current.empty() || list->row(count - 1).path == current) {
        current = list->row(0).path;
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (equalIgnoringCase(list->row(i).path, current)) {
            // The last row, matched in another letter case, wraps to the first.
            current = list->row((i + 1) % count).path;
            return;
        }
    }
    current = list->row(0).path;
}

void TfMain::ChooseNextPicture() {
    const ListLibrary* library = listLibrary();
    if (!library || library->rowCount() == 0) return;
    const std::string listName = fileNamePart(m_settings.cIList);
    int entry = 0;
    for (int i = 0; i < library->rowCount(); ++i) {
        if (library->row(i).caption == listName) {
            entry = i;
            break;
        }
    }
    const std::string text = ReadListFile(library->row(entry).path);
    const std::vector<std::string_view> lines = SplitListLines(text);
    if (lines.empty()) return;

    // The picture's place among the pictures view's entries (the selected list's lines).
    int p = 0;
    if (const PictureView* view = pictureView()) {
        for (int i = 0; i < view->rowCount(); ++i) {
            if (view->row(i).caption == m_settings.cImg) {
                p = i;
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (LinePicturePath(lines[i]) == m_settings.cImg) {
                p = static_cast<int>(i);
                break;
            }
        }
    }
    const int count = static_cast<int>(lines.size());
    int chosen;
    if (m_settings.options.ilRandOrOrder == 1)
        chosen = randomIndex(count);
    else
        chosen = p >= count - 1 ? 0 : p + 1;
    const std::string_view line = lines[static_cast<std::size_t>(chosen)];
    const auto mark = line.find('?');
    m_settings.cImg =
        mark == std::string_view::npos ? std::string() : std::string(line.substr(0, mark));
}

void TfMain::Timer3Timer() {
    const TOptions& o = m_settings.options;
    const ThemeList* list = themeList();
    if (o.Enabled && o.state == 0 && o.advChType == 2 && list && list->rowCount() >= 2) {
        ChooseNextTheme();
        ApplyThemePackage(themes(), m_settings.cadvTheme, helpFilePath());
    }
}

void TfMain::Timer4Timer() {
    const TOptions& o = m_settings.options;
    if (o.Enabled && o.state == 1 && o.ilChType == 2) {
        ChooseNextPicture();
        showPicture(m_settings.cImg);
    }
}

}  // namespace velluma
