#include "ui/Icons.h"

#include <QPainter>
#include <QPainterPath>

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

QIcon flagIcon(const QImage& flag) {
    QIcon icon;
    if (flag.isNull()) return icon;
    for (const int size : {16, 32}) {
        QImage plain(size, size, QImage::Format_ARGB32_Premultiplied);
        plain.fill(Qt::transparent);
        QPainter painter(&plain);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage scaled =
            flag.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(plain), QIcon::Normal, QIcon::Off);

        QImage marked = plain;
        painter.begin(&marked);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        QPainterPath tick;
        tick.moveTo(6.5, 10.0);
        tick.lineTo(9.5, 13.0);
        tick.lineTo(14.5, 5.5);
        painter.setPen(QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(tick);
        painter.setPen(
            QPen(QColor(0x1a, 0x7f, 0x37), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(tick);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(marked), QIcon::Normal, QIcon::On);
    }
    return icon;
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
