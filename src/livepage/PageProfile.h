#pragma once

#include <QObject>
#include <QString>

#include "livepage/FrameBudget.h"
#include "livepage/GpuChoice.h"

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineUrlRequestInterceptor;

namespace velluma {

class LivePage;
class LoopbackServer;

/// The engine settings every theme page runs with: an off-the-record profile without a disk
/// cache, requests only to our loopback server, no downloads, and the Flash emulator injected
/// into every document.
class PageProfile : public QObject {
    Q_OBJECT
public:
    /// ruffleFolder may be missing; pages then show without their movies.
    PageProfile(const LoopbackServer& server, const QString& ruffleFolder, Rendering rendering,
                QObject* parent = nullptr);
    ~PageProfile() override;

    LivePage* newPage(QObject* parent);
    /// What every page of ours is: silent, black until it draws, and granted nothing it asks
    /// for (camera, location, notifications...).
    static void quieten(QWebEnginePage& page);
    QWebEngineProfile* profile() const { return m_profile; }

    /// Frames a second for the pages made from now on; running pages take it with
    /// applyFrameBudget.
    void setFrameBudget(int fps);
    int frameBudget() const { return m_frameBudget; }
    void applyFrameBudget(QWebEnginePage& page) const;
    /// A budget of its own for page until the next applyFrameBudget.
    static void applyFrameBudget(QWebEnginePage& page, int fps);

private:
    void addFlashEmulator(const QString& origin);

    QWebEngineProfile* m_profile;
    QWebEngineUrlRequestInterceptor* m_filter;
    QString m_origin;
    Rendering m_rendering;
    int m_frameBudget = frame_budget::kDefault;
};

}  // namespace velluma
