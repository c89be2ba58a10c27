#pragma once

#include <string>

#include "platform_gui/posix/DesktopBackground.h"

class QImage;

namespace velluma {

/// The background of a bare X11 session: the root window's background pixmap, published in
/// _XROOTPMAP_ID and ESETROOT_PMAP_ID so that pseudo-transparent programs follow. Our
/// pixmaps outlive our connection (RetainPermanent) and carry a mark of ours, so the next
/// one frees the previous one and a run that never ended can be told apart.
class RootPixmapBackground final : public DesktopBackground {
public:
    /// display: as for xcb_connect ("" for the default display). A copy of the picture
    /// found at read() is kept in ownFolder as "desktop-before.bmp".
    RootPixmapBackground(std::string display, std::string ownFolder);

    std::string name() const override { return "X11"; }
    bool readsFileLater() const override { return false; }
    DesktopState read() override;
    void show(const std::string& file, Placement placement) override;
    void restore(const std::string& state) override;

    /// The root window's background pixmap in 32-bit RGB, or a null image when there is
    /// none; for checks.
    static QImage rootPicture(const std::string& display);

private:
    void upload(const QImage& picture, Placement placement, bool markOwn);

    std::string m_display;
    std::string m_ownFolder;
};

}  // namespace velluma
