#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "platform/Screen.h"

namespace velluma {

/// Keeps the size of the whole virtual desktop, polls it every second and tells a
/// listener when it changed.
class TRAgent final : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 1000;

    explicit TRAgent(Screen& screen, QObject* parent = nullptr);

    /// Reads the desktop size now, stores it and returns it.
    ScreenSize GetResolution();
    /// The stored size as "1024x768" (at most one poll old).
    std::string ResolutionText() const;
    /// Reads the size; when it differs from the stored one, stores it and notifies.
    void Poll();

    int width() const { return m_size.width; }
    int height() const { return m_size.height; }
    const QTimer& timer() const { return m_timer; }

    /// The listener; called with the agent after a change. May be empty.
    std::function<void(TRAgent&)> OnResolutionChange;

private:
    Screen& m_screen;
    ScreenSize m_size;
    QTimer m_timer;
};

}  // namespace velluma
