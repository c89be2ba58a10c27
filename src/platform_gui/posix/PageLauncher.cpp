#include "platform_gui/posix/PageLauncher.h"

#include <sys/mman.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <map>
#include <optional>

#include "platform_gui/posix/PageSyscallFilter.h"

namespace velluma {

namespace {

constexpr int kTrialMs = 5000;
constexpr const char* kTrialProgram = "/usr/bin/true";

struct Notice {
    bool said = false;
    std::string text;
    std::function<void(const std::string&)> handler;
};

Notice& notice() {
    static Notice instance;
    return instance;
}

std::map<std::string, std::string> environmentOf(const QProcess& process) {
    QProcessEnvironment environment = process.processEnvironment();
    if (environment.isEmpty()) environment = QProcessEnvironment::systemEnvironment();
    std::map<std::string, std::string> result;
    for (const QString& name : environment.keys())
        result[name.toStdString()] = environment.value(name).toStdString();
    return result;
}

QStringList toQt(const std::vector<std::string>& list) {
    QStringList result;
    result.reserve(qsizetype(list.size()));
    for (const std::string& item : list) result.append(QString::fromStdString(item));
    return result;
}

// The system call filter in a file bubblewrap inherits (and reads on --seccomp); closed once
// the program is started. None where there is no filter for this machine.
class FilterFile {
public:
    FilterFile() {
        const std::string filter = pageSyscallFilter();
        if (filter.empty()) return;
        m_fd = ::memfd_create("velluma-page-filter", 0);
        if (m_fd < 0) return;
        if (::write(m_fd, filter.data(), filter.size()) != ssize_t(filter.size()) ||
            ::lseek(m_fd, 0, SEEK_SET) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FilterFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FilterFile(const FilterFile&) = delete;
    FilterFile& operator=(const FilterFile&) = delete;

    // bubblewrap's arguments for reach, then the program and its arguments.
    QStringList arguments(const PageReach& reach, const HostLayout& host,
                          const QStringList& command) const {
        QStringList args = toQt(bwrapArguments(reach, host));
        if (m_fd >= 0) args << QStringLiteral("--seccomp") << QString::number(m_fd);
        return args << QStringLiteral("--") << command;
    }

private:
    int m_fd = -1;
};

// Why this machine cannot confine; nothing when it can. A trivial program is started in the
// same confinement as a page program, so whatever the kernel or bubblewrap refuse shows here.
std::optional<std::string> trialRun(const std::string& bwrap) {
    if (bwrap.empty()) return "bubblewrap (bwrap) is not installed";
    QProcess trial;
    const HostLayoutOrReason host = describeHost(environmentOf(trial));
    if (!host.layout) return host.reason;
    const FilterFile filter;
    trial.start(QString::fromStdString(bwrap),
                filter.arguments({kTrialProgram, {}, {}}, *host.layout,
                                 {QString::fromLatin1(kTrialProgram)}));
    if (!trial.waitForFinished(kTrialMs)) {
        trial.kill();
        trial.waitForFinished(kTrialMs);
        return "bubblewrap did not start: " + trial.errorString().toStdString();
    }
    if (trial.exitStatus() == QProcess::NormalExit && trial.exitCode() == 0) return std::nullopt;
    const QString said = QString::fromLocal8Bit(trial.readAllStandardError()).trimmed();
    return said.isEmpty() ? "bubblewrap failed"
                          : said.section(QLatin1Char('\n'), 0, 0).toStdString();
}

// Tried once per run for each bubblewrap program.
const std::optional<std::string>& whyNotConfined(const std::string& bwrap) {
    static std::map<std::string, std::optional<std::string>> tried;
    auto found = tried.find(bwrap);
    if (found == tried.end()) found = tried.emplace(bwrap, trialRun(bwrap)).first;
    return found->second;
}

}  // namespace

PageLauncher::PageLauncher(Confinement confinement, std::string bwrap)
    : m_confinement(confinement), m_bwrap(std::move(bwrap)) {}

std::string PageLauncher::bwrapProgram() const {
    if (!m_bwrap.empty()) return m_bwrap;
    return QStandardPaths::findExecutable(QStringLiteral("bwrap")).toStdString();
}

bool PageLauncher::confines() const {
    return m_confinement == Confinement::WhereTheMachineCan && !whyNotConfined(bwrapProgram());
}

bool PageLauncher::start(QProcess& process, const QString& program, const QStringList& arguments,
                         const std::vector<std::string>& readable,
                         const std::string& writable) const {
    // A program that is not there fails to start as it is, with Qt's own error.
    if (m_confinement == Confinement::Never || !QFileInfo(program).isExecutable()) {
        process.start(program, arguments);
        return false;
    }
    const std::string bwrap = bwrapProgram();
    const HostLayoutOrReason host = describeHost(environmentOf(process));
    const std::optional<std::string>& why = whyNotConfined(bwrap);
    if (why || !host.layout) {
        noticeUnconfined(why ? *why : host.reason);
        process.start(program, arguments);
        return false;
    }
    const QFileInfo file(program);
    PageReach reach{file.absoluteFilePath().toStdString(),
                    {(file.absolutePath() + QStringLiteral("/ruffle")).toStdString()},
                    writable};
    reach.readable.insert(reach.readable.end(), readable.begin(), readable.end());
    const FilterFile filter;
    process.start(
        QString::fromStdString(bwrap),
        filter.arguments(reach, *host.layout, QStringList{file.absoluteFilePath()} << arguments));
    return true;
}

void PageLauncher::noticeUnconfined(const std::string& reason) const {
    Notice& state = notice();
    if (state.said) return;
    state.said = true;
    state.text =
        "The live desktop page plays unconfined: this machine cannot confine it (" + reason + ").";
    std::fprintf(stderr, "%s\n", state.text.c_str());
    if (state.handler) state.handler(state.text);
}

void PageLauncher::setNoticeHandler(std::function<void(const std::string&)> handler) {
    Notice& state = notice();
    state.handler = std::move(handler);
    if (state.said && state.handler) state.handler(state.text);
}

}  // namespace velluma
