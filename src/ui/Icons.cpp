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

// The resources' names have no suffix: naming the format spares Qt a look into the MIME
// database for every image, which made building the window's icons cost milliseconds.
QPixmap png(const QString& name) {
    return QPixmap(resource(name), "PNG");
}

}  // namespace

QIcon buttonImage(int n) {
    return QIcon(png(QStringLiteral("IDB_BITMAP%1").arg(n)));
}

QIcon listImage(int index) {
    return QIcon(png(QStringLiteral("lvadv%1").arg(index)));
}

QIcon menuIcon(int index) {
    return QIcon(png(QStringLiteral("menu%1").arg(index)));
}

QIcon trayImage(bool on) {
    QIcon icon;
    const QString name = on ? QStringLiteral("tray_on") : QStringLiteral("tray_off");
    icon.addPixmap(png(name));
    icon.addPixmap(png(name + QStringLiteral("16")));
    return icon;
}

QPixmap picture(const char* name) {
    return png(QString::fromLatin1(name));
}

}  // namespace velluma
