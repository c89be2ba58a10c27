#pragma once

#include <QObject>
#include <string>

#include "platform_gui/posix/BackgroundLayer.h"

namespace velluma {

class MessageBoxes;
class Registry;

/// GNOME Shell's background layer, lent to the page program's window by our Shell extension,
/// reached on the session bus. The program ships one extension per generation of the Shell
/// (gnome-shell/<uuid>, their metadata naming the Shell versions each runs on); the one for
/// the running Shell is the one offered.
class GnomeShellBackground final : public QObject, public BackgroundLayer {
    Q_OBJECT
public:
    static constexpr const char* kRefusalKey = "SOFTWARE\\Corvalix\\Velluma\\GnomeShell";
    static constexpr const char* kRefusalValue = "ExtensionRefused";

    /// extensionsSource: the folder of the extensions shipped with the program, one folder
    /// each named by its uuid; dataHome: the user's data folder ($XDG_DATA_HOME), where a
    /// user's Shell extensions live.
    GnomeShellBackground(Registry& registry, MessageBoxes& messages, std::string extensionsSource,
                         std::string dataHome);
    ~GnomeShellBackground() override;

    bool claim(const std::string& token) override;
    void release() override;
    Setup offerSetup(std::string& note) override;
    bool covered() const override { return m_covered; }

    /// The user's data folder by the XDG rules.
    static std::string userDataHome();

    /// The uuid of the shipped extension that a Shell of this version (its ShellVersion,
    /// such as "45.2") runs, by the Shell's own rule: a listed "45" takes 45.0 to 45.9 but
    /// no pre-release such as "45.beta". Empty when none does, or more than one.
    static std::string extensionFor(const std::string& shellVersion,
                                    const std::string& extensionsSource);

private Q_SLOTS:
    void takeCovered(bool covered);

private:
    bool refusedBefore();
    std::string shellVersion();
    int extensionState(const std::string& uuid);  // as the Shell numbers it; 0: unknown
    bool enabledInSettings(const std::string& uuid);
    void install(const std::string& uuid);
    void enable(const std::string& uuid);

    Registry& m_registry;
    MessageBoxes& m_messages;
    std::string m_source;
    std::string m_dataHome;
    bool m_claimed = false;
    bool m_covered = false;
};

}  // namespace velluma
