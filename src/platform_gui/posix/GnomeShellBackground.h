#pragma once

#include <QObject>
#include <string>

#include "platform_gui/posix/BackgroundLayer.h"

namespace velluma {

class MessageBoxes;
class Registry;

/// GNOME Shell's background layer, lent to the page program's window by our Shell extension
/// (gnome-shell/velluma@velluma.example), reached on the session bus.
class GnomeShellBackground final : public QObject, public BackgroundLayer {
    Q_OBJECT
public:
    static constexpr const char* kUuid = "velluma@velluma.example";
    static constexpr const char* kRefusalKey = "SOFTWARE\\Corvalix\\Velluma\\GnomeShell";
    static constexpr const char* kRefusalValue = "ExtensionRefused";

    /// extensionSource: the extension's folder as shipped with the program; dataHome: the
    /// user's data folder ($XDG_DATA_HOME), where a user's Shell extensions live.
    GnomeShellBackground(Registry& registry, MessageBoxes& messages, std::string extensionSource,
                         std::string dataHome);
    ~GnomeShellBackground() override;

    bool claim(const std::string& token) override;
    void release() override;
    Setup offerSetup(std::string& note) override;
    bool covered() const override { return m_covered; }

    /// The user's data folder by the XDG rules.
    static std::string userDataHome();

private Q_SLOTS:
    void takeCovered(bool covered);

private:
    bool refusedBefore();
    int extensionState();  // as the Shell numbers it; 0 when it does not know the extension
    bool enabledInSettings();
    void install();
    void enable();

    Registry& m_registry;
    MessageBoxes& m_messages;
    std::string m_source;
    std::string m_dataHome;
    bool m_claimed = false;
    bool m_covered = false;
};

}  // namespace velluma
