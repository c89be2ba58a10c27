#include "control/DesktopController.h"

#include <QTimer>
#include <cctype>
#include <random>
#include <string_view>

#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/ResolutionAgent.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListLibrary.h"
#include "imagelists/PictureView.h"
#include "imagelists/WallpaperSetter.h"
#include "platform/Platform.h"
#include "themes/Presenter.h"
#include "themes/ThemeList.h"

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

// Timers keep counting when re-armed with the interval they already have.
void armTimer(QTimer* timer, int interval) {
    if (interval <= 0) {
        timer->stop();  // a zero interval never fires
        timer->setInterval(0);
        return;
    }
    if (timer->interval() != interval) {
        timer->stop();  // a new interval counts from now
        timer->setInterval(interval);
    }
    if (!timer->isActive()) timer->start();
}

QTimer* rotationTimer(QObject* parent, const char* name) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    // Rotation intervals are minutes long; a coarse timer would drift by seconds.
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

}  // namespace

DesktopController::DesktopController(Services services, QObject* parent)
    : QObject(parent),
      m_services(std::move(services)),
      m_timer3(rotationTimer(this, "Timer3")),
      m_timer4(rotationTimer(this, "Timer4")) {
    connect(m_timer3, &QTimer::timeout, this, [this] { guarded([this] { Timer3Timer(); }); });
    connect(m_timer4, &QTimer::timeout, this, [this] { guarded([this] { Timer4Timer(); }); });
}

void DesktopController::guarded(const std::function<void()>& handler) {
    if (m_services.guard)
        m_services.guard(handler);
    else
        handler();
}

void DesktopController::setRows(ThemeList* themes, ListLibrary* lists, PictureView* pictures) {
    m_themeList = themes;
    m_listLibrary = lists;
    m_pictureView = pictures;
}

void DesktopController::armRotationTimers() {
    const TOptions& o = m_services.settings.options;
    armTimer(m_timer3, o.advMin * 60000 + o.AdvSec * 1000);
    armTimer(m_timer4, o.ilMin * 60000 + o.ilSec * 1000);
}

void DesktopController::applyTheme() {
    ApplyThemePackage(m_services.themes, m_services.settings.cadvTheme,
                      m_services.helpFile ? m_services.helpFile() : std::string());
}

void DesktopController::showPicture(const std::string& path) {
    const WallpaperContext context{m_services.settings.ProgramFolder, m_services.settings.options,
                                   *m_services.platform.registry,
                                   *m_services.platform.wallpaperRefresh,
                                   [this] { return m_services.agent.GetResolution(); }};
    SetWallpaperPicture(context, path);
}

void DesktopController::showSavedContent() {
    const Settings& s = m_services.settings;
    const TOptions& o = s.options;
    if (!o.Enabled) return;
    if (o.state == 0 && !s.cadvTheme.empty()) {
        if (o.advChType == 1) ChooseNextTheme();
        applyTheme();
    } else {
        ActiveDesktopOff(m_services.themes);
        if (o.ilChType == 1) ChooseNextPicture();
        showPicture(s.cImg);
    }
}

void DesktopController::tbbOnOffClick() {
    Settings& s = m_services.settings;
    TOptions& o = s.options;
    o.Enabled = !o.Enabled;
    Q_EMIT stateChanged();
    if (o.Enabled) {
        if (o.state == 0 && !s.cadvTheme.empty()) {
            applyTheme();
        } else {
            ActiveDesktopOff(m_services.themes);
            showPicture(s.cImg);
        }
    } else {
        showPicture({});
        ActiveDesktopOff(m_services.themes);
        if (restoreDesktop) restoreDesktop();
    }
}

void DesktopController::tbbONOFFPM00Click() {
    TOptions& o = m_services.settings.options;
    o.state = 0;
    o.Enabled = true;
    Q_EMIT stateChanged();
    if (!m_services.settings.cadvTheme.empty()) applyTheme();
}

void DesktopController::tbbONOFFPM01Click() {
    TOptions& o = m_services.settings.options;
    o.state = 1;
    o.Enabled = true;
    Q_EMIT stateChanged();
    ActiveDesktopOff(m_services.themes);
    showPicture(m_services.settings.cImg);
}

void DesktopController::tbbONOFFPM2Click() {
    m_services.settings.options.Enabled = false;
    Q_EMIT stateChanged();
    ActiveDesktopOff(m_services.themes);
    showPicture({});
}

void DesktopController::tbbChStateClick() {
    Settings& s = m_services.settings;
    TOptions& o = s.options;
    o.state = o.state == 0 ? 1 : 0;
    Q_EMIT stateChanged();
    if (!o.Enabled) return;
    if (o.state == 0 && !s.cadvTheme.empty()) {
        applyTheme();
        Q_EMIT pageWanted(0);
    } else {
        ActiveDesktopOff(m_services.themes);
        showPicture(s.cImg);
        Q_EMIT pageWanted(1);
    }
}

void DesktopController::ChooseNextTheme() {
    const ThemeList* list = m_themeList;
    if (!list || list->rowCount() == 0) return;  // nothing to choose from
    std::string& current = m_services.settings.cadvTheme;
    const int count = list->rowCount();
    if (m_services.settings.options.advRandOrOrder == 1) {
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

void DesktopController::ChooseNextPicture() {
    const ListLibrary* library = m_listLibrary;
    if (!library || library->rowCount() == 0) return;
    Settings& s = m_services.settings;
    const std::string listName = fileNamePart(s.cIList);
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
    if (const PictureView* view = m_pictureView) {
        for (int i = 0; i < view->rowCount(); ++i) {
            if (view->row(i).caption == s.cImg) {
                p = i;
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (LinePicturePath(lines[i]) == s.cImg) {
                p = static_cast<int>(i);
                break;
            }
        }
    }
    const int count = static_cast<int>(lines.size());
    int chosen;
    if (s.options.ilRandOrOrder == 1)
        chosen = randomIndex(count);
    else
        chosen = p >= count - 1 ? 0 : p + 1;
    const std::string_view line = lines[static_cast<std::size_t>(chosen)];
    const auto mark = line.find('?');
    s.cImg = mark == std::string_view::npos ? std::string() : std::string(line.substr(0, mark));
}

void DesktopController::Timer3Timer() {
    const TOptions& o = m_services.settings.options;
    if (o.Enabled && o.state == 0 && o.advChType == 2 && m_themeList &&
        m_themeList->rowCount() >= 2) {
        ChooseNextTheme();
        applyTheme();
    }
}

void DesktopController::Timer4Timer() {
    const TOptions& o = m_services.settings.options;
    if (o.Enabled && o.state == 1 && o.ilChType == 2) {
        ChooseNextPicture();
        showPicture(m_services.settings.cImg);
    }
}

}  // namespace velluma
