#include "ui/Icons.h"

// Resources linked from a static library must be registered by hand.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace velluma {
namespace {

QString resource(const QString& name) {
    static const bool registered = (registerResources(), true);
    (void)registered;
    return QStringLiteral(":/") + name;
}

}  // namespace

QIcon buttonImage(int n) {
    return QIcon(resource(QStringLiteral("IDB_BITMAP%1").arg(n)));
}

QIcon menuIcon(int index) {
    return QIcon(resource(QStringLiteral("menu%1").arg(index)));
}

QIcon trayImage(bool on) {
    QIcon icon;
    const QString name = on ? QStringLiteral("tray_on") : QStringLiteral("tray_off");
    icon.addFile(resource(name));
    icon.addFile(resource(name + QStringLiteral("16")));
    return icon;
}

QPixmap picture(const char* name) {
    return QPixmap(resource(QString::fromLatin1(name)));
}

}  // namespace velluma
