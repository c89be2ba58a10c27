#include "platform_gui/posix/DesktopShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
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

// xdg-open gives up at once when nothing opens its target. A program it keeps in the
// foreground (a browser on a bare X server) holds it running, and whatever that program
// returns much later says nothing about the open.
constexpr qint64 kOpenerVerdictMs = 10000;

// "https://...", "mailto:..."; our files are absolute paths, and "C:" is no scheme.
bool looksLikeAddress(const std::string& target) {
    if (target.empty() || target.front() == '/') return false;
    const auto colon = target.find(':');
    if (colon == std::string::npos || colon < 2) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = target[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other)) return false;
    }
    return true;
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

// The xdg-open runs of this shell, watched for the verdict on their target.
class DesktopShell::Openers {
public:
    ~Openers() {
        for (QProcess* process : m_owner.findChildren<QProcess*>()) {
            process->disconnect();
            if (process->state() != QProcess::NotRunning) {
                process->kill();  // a program it started goes on by itself
                process->waitForFinished(1000);
            }
        }
    }

    void start(const QString& opener, const QString& argument, OpenFailed failedLater) {
        auto* process = new QProcess(&m_owner);
        process->setProgram(opener);
        process->setArguments({argument});
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer started;
        started.start();
        auto done = [process, started, failedLater = std::move(failedLater)](bool failed) {
            process->disconnect();
            process->deleteLater();
            if (failed && failedLater && started.elapsed() < kOpenerVerdictMs) failedLater();
        };
        QObject::connect(process, &QProcess::finished,
                         [done](int code, QProcess::ExitStatus status) {
                             done(status != QProcess::NormalExit || code != 0);
                         });
        QObject::connect(process, &QProcess::errorOccurred, [done](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) done(true);
        });
        process->start();
    }

private:
    QObject m_owner;
};

DesktopShell::DesktopShell(DesktopKind desktop)
    : m_desktop(desktop), m_openers(std::make_unique<Openers>()) {}

DesktopShell::~DesktopShell() = default;

int DesktopShell::open(const std::string& target, ShowMode, OpenFailed failedLater) {
    QUrl url;
    QString argument;
    if (looksLikeAddress(target)) {
        url = QUrl(QString::fromStdString(target));
        argument = url.toString(QUrl::FullyEncoded);
    } else {
        const QString path = QString::fromStdString(target);
        if (!QFileInfo::exists(path)) return kShellFileNotFound;
        url = QUrl::fromLocalFile(path);
        argument = QFileInfo(path).absoluteFilePath();
    }
    // xdg-open tells when no program takes the target; Qt's own launch of it does not.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url) ? kShellSuccess : kShellNoAssociation;
    m_openers->start(opener, argument, std::move(failedLater));
    return kShellSuccess;
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
