#include "platform/posix/DesktopShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/AtomicFile.h"

namespace velluma {
namespace {

constexpr int kShellNoAssociation = 31;  // SE_ERR_NOASSOC

bool looksLikeAddress(const std::string& target) {
    auto colon = target.find("://");
    return colon != std::string::npos && colon > 1;  // "C:" is not a scheme
}

// Quoting of an Exec argument: double quotes around, with `"`, `` ` ``, `$` and `\` escaped;
// then every backslash doubled once more because Exec is a string value.
std::string execArgument(const std::string& arg) {
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string entryValue(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

}  // namespace

int DesktopShell::open(const std::string& target, ShowMode) {
    QUrl url;
    if (looksLikeAddress(target)) {
        url = QUrl(QString::fromStdString(target));
    } else {
        const QString path = QString::fromStdString(target);
        if (!QFileInfo::exists(path)) return kShellFileNotFound;
        url = QUrl::fromLocalFile(path);
    }
    return QDesktopServices::openUrl(url) ? kShellSuccess : kShellNoAssociation;
}

void DesktopShell::openDisplaySettings() {
    struct Tool {
        const char* program;
        QStringList arguments;
    };
    const QStringList kscreen{QStringLiteral("kcm_kscreen")};
    // The running desktop's own settings; where it has none, the general tools.
    std::vector<Tool> tools;
    switch (m_desktop) {
        case DesktopKind::Gnome:
            tools = {{"gnome-control-center", {QStringLiteral("display")}}};
            break;
        case DesktopKind::Cinnamon:
            tools = {{"cinnamon-settings", {QStringLiteral("display")}}};
            break;
        case DesktopKind::Mate:
            tools = {{"mate-display-properties", {}}};
            break;
        case DesktopKind::Plasma:
            tools = {{"systemsettings", kscreen},
                     {"systemsettings5", kscreen},
                     {"kcmshell6", kscreen},
                     {"kcmshell5", kscreen}};
            break;
        case DesktopKind::Xfce:
            tools = {{"xfce4-display-settings", {}}};
            break;
        case DesktopKind::Sway:
            tools = {{"wdisplays", {}}};
            break;
        case DesktopKind::X11Root:
            tools = {{"lxqt-config-monitor", {}}, {"arandr", {}}, {"lxrandr", {}}};
            break;
        case DesktopKind::None:
            tools = {
                {"lxqt-config-monitor", {}}, {"wdisplays", {}}, {"arandr", {}}, {"lxrandr", {}}};
            break;
    }
    for (const Tool& tool : tools) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool.program));
        if (!program.isEmpty() && QProcess::startDetached(program, tool.arguments)) return;
    }
    if (m_desktop == DesktopKind::Sway)
        throw std::runtime_error(
            "sway has no display settings window of its own and wdisplays is not installed. "
            "Set the outputs in sway's configuration");
    if (m_desktop != DesktopKind::None && m_desktop != DesktopKind::X11Root)
        throw std::runtime_error(std::string("The display settings of ") + desktopName(m_desktop) +
                                 " (" + tools.front().program + ") are not installed");
    throw std::runtime_error(
        "No display settings tool was found on this system. Change the screen resolution "
        "with your desktop's own settings");
}

std::string autostartEntryText(const std::string& target, const std::string& arguments,
                               const std::string& workingFolder) {
    std::string exec = execArgument(target);
    if (!arguments.empty()) exec += " " + entryValue(arguments);
    return "[Desktop Entry]\r\n"
           "Type=Application\r\n"
           "Name=Velluma\r\n"
           "Comment=Keeps the desktop background in motion\r\n"
           "Exec=" +
           exec +
           "\r\n"
           "Path=" +
           entryValue(workingFolder) +
           "\r\n"
           "Terminal=false\r\n"
           "X-GNOME-Autostart-enabled=true\r\n";
}

void DesktopShell::createShortcut(const std::string& target, const std::string& arguments,
                                  const std::string& workingFolder, const std::string& linkPath) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(linkPath).parent_path(), ec);
    writeFileAtomically(linkPath, autostartEntryText(target, arguments, workingFolder));
}

std::string DesktopShell::defaultStartupFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() +
           "/autostart";
}

}  // namespace velluma
