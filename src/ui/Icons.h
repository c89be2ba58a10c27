#pragma once

#include <QIcon>
#include <QPixmap>

namespace velluma {

/// The bitmap resource IDB_BITMAP<n>.
QIcon buttonImage(int n);
/// Image <index> of the list views' image list iladvLV (0 ... 10).
QIcon listImage(int index);
/// Image <index> of the main menu's image list.
QIcon menuIcon(int index);
/// The tray icon: the second icon while the animation is on, the first while it is off.
QIcon trayImage(bool on);
/// A picture resource by name ("banner", "logo", "app").
QPixmap picture(const char* name);

}  // namespace velluma
