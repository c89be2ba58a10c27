#include "core/ResolutionAgent.h"

namespace velluma {

TRAgent::TRAgent(Screen& screen, QObject* parent)
    : QObject(parent), m_screen(screen), m_size(screen.virtualDesktopSize()) {
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TRAgent::Poll);
    m_timer.start();
}

ScreenSize TRAgent::GetResolution() {
    m_size = m_screen.virtualDesktopSize();
    return m_size;
}

std::string TRAgent::ResolutionText() const {
    return std::to_string(m_size.width) + "x" + std::to_string(m_size.height);
}

void TRAgent::Poll() {
    const ScreenSize now = m_screen.virtualDesktopSize();
    if (now == m_size) return;
    m_size = now;
    if (OnResolutionChange) OnResolutionChange(*this);
}

}  // namespace velluma
