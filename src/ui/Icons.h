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
/// A language's flag for its menu item. Styles draw no check mark beside an item's icon, so
/// the checked state's picture carries one over the flag.
QIcon flagIcon(const QImage& flag);
/// The tray icon: the second icon while the animation is on, the first while it is off.
QIcon trayImage(bool on);
/// A picture resource by name ("banner", "logo", "app").
QPixmap picture(const char* name);

}  // namespace velluma
