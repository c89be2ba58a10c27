#pragma once

#include "tools/SwfWriter.h"

namespace velluma {

/// "Petal Orbit": three rings of translucent petals turning slowly against each other over
/// drifting nebulae, with lanterns rising through a field of twinkling stars. 1920 by 1080,
/// 30 frames a second, a seamless 16-second loop.
SwfMovie PetalOrbitMovie();

/// The movie's backdrop colour at the edges of the stage, for the page around it.
inline constexpr SwfColour kPetalOrbitBackdrop{11, 10, 36, 255};

}  // namespace velluma
