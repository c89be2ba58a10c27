#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velluma {

/// A colour with opacity (255 opaque).
struct SwfColour {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;
};

/// A point on the stage, in pixels (y grows downwards).
struct SwfPoint {
    double x = 0, y = 0;
};

/// One edge of an outline: a straight line to `to`, or a quadratic curve through `control`.
struct SwfEdge {
    SwfPoint to;
    std::optional<SwfPoint> control;
};

/// A closed outline: from start along its edges; the writer closes it when the last edge
/// does not end at start.
struct SwfContour {
    SwfPoint start;
    std::vector<SwfEdge> edges;
};

/// A colour at a position (0 to 1) along a gradient.
struct SwfGradientStop {
    double position = 0;
    SwfColour colour;
};

/// How a shape is filled: one colour, or a gradient laid out in the shape's own coordinates.
struct SwfFill {
    enum class Kind { Solid, Linear, Radial };
    Kind kind = Kind::Solid;
    SwfColour colour;                    // Solid
    std::vector<SwfGradientStop> stops;  // Linear and Radial: 1 to 8 stops, in order
    SwfPoint from, to;                   // Linear: where position 0 and 1 lie
    SwfPoint centre;                     // Radial: position 0 at centre ...
    double radiusX = 0, radiusY = 0;     // ... and 1 on this ellipse

    static SwfFill solid(SwfColour colour);
    static SwfFill linear(SwfPoint from, SwfPoint to, std::vector<SwfGradientStop> stops);
    static SwfFill radial(SwfPoint centre, double radiusX, double radiusY,
                          std::vector<SwfGradientStop> stops);
};

/// A filled shape. Its contours share the fill; where they overlap the fill cancels out
/// (the way holes are cut), so overlapping parts belong in shapes of their own.
struct SwfShape {
    SwfFill fill;
    std::vector<SwfContour> contours;
};

/// An ellipse of eight quadratic curves (off a true ellipse by at most 0.32 % of its
/// radius).
SwfContour SwfEllipse(SwfPoint centre, double radiusX, double radiusY);
/// An axis-aligned rectangle.
SwfContour SwfRectangle(double left, double top, double width, double height);
/// A smooth closed curve around centre through the given radii at equal angles, starting
/// at the top and going clockwise; at least three radii.
SwfContour SwfBlob(SwfPoint centre, const std::vector<double>& radii);
/// A petal growing up from its base at the origin: length long, about width at its widest
/// (a little below the middle), pointed at both ends.
SwfContour SwfPetal(double length, double width);

/// Where a shape is drawn: scaled about its origin, rotated clockwise by rotation degrees,
/// then moved by (x, y) pixels.
struct SwfTransform {
    double x = 0, y = 0;
    double scaleX = 1, scaleY = 1;
    double rotation = 0;
};

/// Per-channel factors (1 keeps the channel) and additions (-255 to 255) applied to a
/// placed shape's colours.
struct SwfColourTransform {
    double redFactor = 1, greenFactor = 1, blueFactor = 1, alphaFactor = 1;
    int redAdd = 0, greenAdd = 0, blueAdd = 0, alphaAdd = 0;

    static SwfColourTransform fade(double alpha) {
        SwfColourTransform t;
        t.alphaFactor = alpha;
        return t;
    }
};

/// One shape on the display list of a frame. Higher depths are drawn above lower ones.
struct SwfPlacement {
    std::uint16_t depth = 1;  // 1 to 65535, once per frame
    std::size_t shape = 0;    // index into SwfMovie::shapes
    SwfTransform transform;
    std::optional<SwfColourTransform> colour;
};

/// A movie: each frame lists everything on display in it; what a frame leaves out is
/// taken off the stage.
struct SwfMovie {
    int width = 550, height = 400;  // stage, in pixels
    double frameRate = 24;          // frames per second, below 256
    SwfColour background{255, 255, 255, 255};
    int version = 10;
    std::vector<SwfShape> shapes;
    std::vector<std::vector<SwfPlacement>> frames;  // 1 to 65535 frames
};

/// The bytes of an uncompressed ("FWS") Flash movie. Throws std::invalid_argument when the
/// movie cannot be written (a size, rate, depth, shape index or count out of range).
std::string WriteSwf(const SwfMovie& movie);

}  // namespace velluma
