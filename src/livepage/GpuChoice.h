#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <functional>

namespace velluma {

/// Where the page engine rasters and composites its frames.
enum class Rendering { Software, Gpu };

/// True for the OpenGL renderers that draw on the processor (Mesa's llvmpipe, softpipe and
/// swrast, SwiftShader, ...): handing them the engine's work only adds their own cost.
bool isSoftwareRenderer(const QString& renderer);

/// VELLUMA_GPU=on or off in environment decides ("on" also on a software driver);
/// LIBGL_ALWAYS_SOFTWARE asks for software as it does of Mesa. Otherwise the display's
/// OpenGL renderer string (GL_RENDERER, empty when no context could be made) does: renderer
/// is asked only then, as reading it loads the driver.
Rendering chooseRendering(const QProcessEnvironment& environment,
                          const std::function<QString()>& renderer);

/// Whether environment forces the GPU even where the driver is a software one.
bool gpuForced(const QProcessEnvironment& environment);

}  // namespace velluma
