#include "livepage/GpuChoice.h"

#include <QStringList>

namespace velluma {
namespace {

bool isOneOf(const QString& value, std::initializer_list<const char*> words) {
    for (const char* word : words)
        if (value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) return true;
    return false;
}

}  // namespace

bool isSoftwareRenderer(const QString& renderer) {
    static const QStringList kSoftware{
        QStringLiteral("llvmpipe"),
        QStringLiteral("softpipe"),
        QStringLiteral("swrast"),
        QStringLiteral("swiftshader"),
        QStringLiteral("lavapipe"),
        QStringLiteral("software rasterizer"),
        QStringLiteral("software renderer"),
        QStringLiteral("basic render driver"),
    };
    for (const QString& word : kSoftware)
        if (renderer.contains(word, Qt::CaseInsensitive)) return true;
    return false;
}

bool gpuForced(const QProcessEnvironment& environment) {
    return isOneOf(environment.value(QStringLiteral("VELLUMA_GPU")).trimmed(),
                   {"on", "1", "yes", "true"});
}

Rendering chooseRendering(const QProcessEnvironment& environment,
                          const std::function<QString()>& renderer) {
    const QString forced = environment.value(QStringLiteral("VELLUMA_GPU")).trimmed();
    if (gpuForced(environment)) return Rendering::Gpu;
    if (isOneOf(forced, {"off", "0", "no", "false"})) return Rendering::Software;
    const QString mesaSoftware = environment.value(QStringLiteral("LIBGL_ALWAYS_SOFTWARE"));
    if (!mesaSoftware.isEmpty() && !isOneOf(mesaSoftware, {"0", "false", "no"}))
        return Rendering::Software;
    const QString name = renderer().trimmed();
    if (name.isEmpty() || isSoftwareRenderer(name)) return Rendering::Software;
    return Rendering::Gpu;
}

}  // namespace velluma
