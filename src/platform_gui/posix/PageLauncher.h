#pragma once

#include <QStringList>
#include <functional>
#include <string>

#include "platform_gui/posix/PageConfinement.h"

class QProcess;

namespace velluma {

/// Starts the page program (velluma-page, or anything that must run as it does) inside a
/// confinement of its own made by bubblewrap: theme pages come from anywhere and play in an
/// engine without its own sandbox, so whatever takes the engine over finds only the system's
/// read-only files, what it was given to reach, and no network beyond its own loopback.
/// Where the machine cannot confine (no bubblewrap, no user namespaces), the program runs
/// unconfined and that is said once per run.
class PageLauncher {
public:
    enum class Confinement { WhereTheMachineCan, Never };

    /// bwrap: the bubblewrap program; empty to look for it on the PATH.
    explicit PageLauncher(Confinement confinement = Confinement::WhereTheMachineCan,
                          std::string bwrap = {});

    /// Starts program with its arguments in process. A confined program sees, besides the
    /// system's files, the program file and the Flash player folder beside it, the files and
    /// folders in readable (read-only) and the folder writable (empty: none). Returns
    /// whether it runs confined.
    bool start(QProcess& process, const QString& program, const QStringList& arguments,
               const std::vector<std::string>& readable, const std::string& writable = {}) const;

    /// Whether programs start confined here; the machine is tried once per run.
    bool confines() const;

    /// Where the once-per-run word that pages play unconfined goes besides standard error;
    /// told at once when it was said before. An empty function stops it.
    static void setNoticeHandler(std::function<void(const std::string&)> handler);

private:
    std::string bwrapProgram() const;
    void noticeUnconfined(const std::string& reason) const;

    Confinement m_confinement;
    std::string m_bwrap;
};

}  // namespace velluma
