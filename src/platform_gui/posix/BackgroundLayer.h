#pragma once

#include <functional>
#include <string>

namespace velluma {

/// A place behind every window that the desktop's shell keeps for the page program's window,
/// where the window system itself has none (GNOME on Wayland).
class BackgroundLayer {
public:
    virtual ~BackgroundLayer() = default;

    /// Asks for the place for the page program's window that carries token. False where the
    /// shell offers none now.
    virtual bool claim(const std::string& token) = 0;
    /// Gives the place up.
    virtual void release() = 0;
    /// Whether every monitor was covered by maximised or full-screen windows when last told.
    virtual bool covered() const = 0;

    /// What came of offering to set the place up.
    enum class Setup {
        Ready,     // the place is there now
        Later,     // set up, but the shell takes it only after a new login
        Declined,  // refused now or before, or nothing to set up: stills stand in
    };
    /// Called where no place is offered, at most once per run: asks the user, unless they
    /// refused before, whether to set the place up, and does so only on their yes. Returns
    /// what the user is to be told besides the still standing in (empty for nothing).
    virtual Setup offerSetup(std::string& note) = 0;

    /// Runs whenever every monitor becomes covered by maximised or full-screen windows, or
    /// stops being so.
    void onCoveredChanged(std::function<void(bool)> handler) { m_covered = std::move(handler); }

protected:
    void coveredChanged(bool covered) {
        if (m_covered) m_covered(covered);
    }

private:
    std::function<void(bool)> m_covered;
};

}  // namespace velluma
