#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform_gui/posix/DesktopBackground.h"

namespace velluma {

/// The background of sway and the wlroots compositors that speak its IPC: "output * bg"
/// commands over the compositor's socket. The compositor tells no background, so the one
/// to put back is the one its configuration sets.
class SwayBackground final : public DesktopBackground {
public:
    explicit SwayBackground(std::string socketPath);

    std::string name() const override { return "sway"; }
    DesktopState read() override;
    void show(const std::string& file, Placement placement) override;
    void restore(const std::string& state) override;

    /// The "output ... bg" commands of a configuration text, blocks written out.
    static std::vector<std::string> backgroundCommands(const std::string& config);
    /// sway's bg mode for a placement.
    static const char* modeFor(Placement placement);

private:
    std::string exchange(std::uint32_t type, const std::string& payload);
    void run(const std::string& command);

    std::string m_socket;
};

}  // namespace velluma
