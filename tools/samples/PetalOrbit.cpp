#include "tools/samples/PetalOrbit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velluma {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTau = 2 * kPi;
constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kRate = 30;
constexpr int kFrames = 16 * kRate;
constexpr SwfPoint kCentre{960, 540};

// The same numbers on every build, so the package is byte for byte the same.
class Random {
public:
    explicit Random(std::uint32_t seed) : m_state(seed) {}
    double next() {  // in [0, 1)
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return double(m_state) / 4294967296.0;
    }
    double between(double low, double high) { return low + (high - low) * next(); }

private:
    std::uint32_t m_state;
};

SwfColour rgba(int r, int g, int b, int a) {
    return {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), std::uint8_t(a)};
}

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// A disc of radius 100 around the origin, glowing from its middle outwards.
SwfShape glow(std::vector<SwfGradientStop> stops) {
    return {SwfFill::radial({0, 0}, 100, 100, std::move(stops)), {SwfEllipse({0, 0}, 100, 100)}};
}

struct Ring {
    int petals;
    double length, width;
    double turnsPerLoop;  // whole petal steps per loop keep the loop seamless
    double breathePhase;
    std::size_t shape;
};

struct Nebula {
    SwfPoint home;
    double driftX, driftY;  // pixels
    double scaleX, scaleY;
    double tilt;  // degrees
    double phase;
    std::size_t shape;
};

struct Lantern {
    double x, sway, swayCycles, phase;
    int riseCycles;  // rises per loop
    double scale;
    std::size_t shape;
};

struct Star {
    SwfPoint at;
    double scale, phase;
    int cycles;
};

}  // namespace

SwfMovie PetalOrbitMovie() {
    SwfMovie movie;
    movie.width = kWidth;
    movie.height = kHeight;
    movie.frameRate = kRate;
    movie.background = kPetalOrbitBackdrop;

    auto add = [&](SwfShape shape) {
        movie.shapes.push_back(std::move(shape));
        return movie.shapes.size() - 1;
    };

    // The sky: deep indigo brightening towards the middle, reaching past the stage so a
    // screen of another shape sees no edge. A radial gradient over the whole stage would
    // cost a software renderer more than everything else on it together, so the glow is
    // two linear ones: brightening towards the middle row, then darkened towards the left
    // and right edges by a veil of the backdrop colour.
    const auto mirrored = [](SwfColour edge, SwfColour shoulder, SwfColour middle) {
        return std::vector<SwfGradientStop>{
            {0, edge}, {0.275, shoulder}, {0.5, middle}, {0.725, shoulder}, {1, edge}};
    };
    const auto veil = [](int alpha) {
        return rgba(kPetalOrbitBackdrop.red, kPetalOrbitBackdrop.green, kPetalOrbitBackdrop.blue,
                    alpha);
    };
    const SwfContour skyArea = SwfRectangle(-480, -270, kWidth + 960, kHeight + 540);
    const std::size_t sky =
        add({SwfFill::linear(
                 {kCentre.x, kCentre.y - 900}, {kCentre.x, kCentre.y + 900},
                 mirrored(kPetalOrbitBackdrop, rgba(27, 22, 70, 255), rgba(46, 33, 98, 255))),
             {skyArea}});
    const std::size_t skySides =
        add({SwfFill::linear({kCentre.x - 1250, kCentre.y}, {kCentre.x + 1250, kCentre.y},
                             mirrored(veil(255), veil(125), veil(0))),
             {skyArea}});

    // The clouds are the largest translucent fills on the stage, and every pixel of a gradient
    // costs a software renderer dearly: each disc ends soon after its haze has thinned out
    // rather than trailing a faint rim far beyond it.
    const std::size_t tealCloud = add(glow(
        {{0, rgba(40, 190, 200, 95)}, {0.7, rgba(30, 140, 180, 40)}, {1, rgba(20, 90, 160, 0)}}));
    const std::size_t roseCloud = add(glow(
        {{0, rgba(214, 60, 150, 90)}, {0.7, rgba(160, 40, 130, 36)}, {1, rgba(120, 30, 120, 0)}}));
    const std::size_t violetCloud = add(glow(
        {{0, rgba(120, 90, 240, 90)}, {0.78, rgba(90, 60, 200, 34)}, {1, rgba(60, 40, 160, 0)}}));

    // A star is a few pixels across, too small for a gradient to show: one flat dot.
    const std::size_t star =
        add({SwfFill::solid(rgba(225, 235, 255, 220)), {SwfEllipse({0, 0}, 100, 100)}});
    const std::size_t amberLantern = add(glow({{0, rgba(255, 246, 220, 240)},
                                               {0.18, rgba(255, 206, 120, 210)},
                                               {0.45, rgba(255, 140, 70, 70)},
                                               {1, rgba(255, 100, 60, 0)}}));
    const std::size_t roseLantern = add(glow({{0, rgba(255, 240, 245, 235)},
                                              {0.18, rgba(255, 160, 190, 200)},
                                              {0.45, rgba(230, 90, 150, 64)},
                                              {1, rgba(200, 60, 140, 0)}}));

    const auto petal = [&](double length, double width, SwfColour base, SwfColour middle,
                           SwfColour tip) {
        return add({SwfFill::linear({0, 0}, {0, -length}, {{0, base}, {0.55, middle}, {1, tip}}),
                    {SwfPetal(length, width)}});
    };
    Ring rings[] = {
        {12, 360, 150, 1, 0,
         petal(360, 150, rgba(255, 110, 170, 30), rgba(255, 140, 195, 90),
               rgba(255, 215, 235, 150))},
        {8, 250, 140, -1, 2.1,
         petal(250, 140, rgba(90, 170, 255, 30), rgba(120, 200, 255, 95),
               rgba(200, 240, 255, 160))},
        {6, 140, 100, 2, 4.2,
         petal(140, 100, rgba(255, 190, 90, 40), rgba(255, 210, 130, 120),
               rgba(255, 245, 210, 190))},
    };
    const std::size_t heart = add(glow({{0, rgba(255, 252, 240, 250)},
                                        {0.3, rgba(255, 225, 170, 150)},
                                        {0.7, rgba(255, 170, 120, 40)},
                                        {1, rgba(255, 140, 120, 0)}}));

    const Nebula nebulae[] = {
        {{560, 380}, 140, 60, 5.25, 3.22, -18, 0.0, tealCloud},
        {{1420, 700}, 120, 80, 5.6, 3.5, 24, 2.2, roseCloud},
        {{1100, 260}, 160, 50, 4.2, 2.52, 8, 4.1, violetCloud},
    };

    Random random(0x5eed1e55u);
    constexpr int kStars = 70, kLanterns = 16;
    std::vector<Star> stars;
    stars.reserve(kStars);
    for (int i = 0; i < kStars; ++i)
        stars.push_back({{random.between(0, kWidth), random.between(0, kHeight)},
                         random.between(0.01, 0.028),
                         random.between(0, kTau),
                         1 + int(random.next() * 3)});

    std::vector<Lantern> lanterns;
    lanterns.reserve(kLanterns);
    for (int i = 0; i < kLanterns; ++i) {
        // Spread across the width, each in its own column so they rarely meet.
        const double x = (i + random.between(0.2, 0.8)) * kWidth / kLanterns;
        lanterns.push_back({x, random.between(20, 60), 1 + double(int(random.next() * 2)),
                            random.next(), 1 + int(random.next() * 2), random.between(0.22, 0.5),
                            i % 3 == 1 ? roseLantern : amberLantern});
    }

    for (int f = 0; f < kFrames; ++f) {
        const double t = double(f) / kFrames;  // 0 to 1 over the loop
        std::vector<SwfPlacement> frame;
        std::uint16_t depth = 1;
        auto place = [&](std::size_t shape, SwfTransform transform,
                         std::optional<SwfColourTransform> colour = std::nullopt) {
            frame.push_back({depth++, shape, transform, colour});
        };

        place(sky, {});
        place(skySides, {});

        for (const Nebula& n : nebulae) {
            const double a = kTau * t + n.phase;
            const double breathe = 1 + 0.08 * std::sin(a * 2);
            place(n.shape, {n.home.x + n.driftX * std::sin(a), n.home.y + n.driftY * std::cos(a),
                            n.scaleX * breathe, n.scaleY * breathe, n.tilt + 6 * std::sin(a)});
        }

        for (const Star& s : stars) {
            const double twinkle = 0.5 + 0.5 * std::sin(kTau * t * s.cycles + s.phase);
            place(star, {s.at.x, s.at.y, s.scale, s.scale, 0},
                  SwfColourTransform::fade(0.3 + 0.7 * twinkle * twinkle));
        }

        for (const Lantern& l : lanterns) {
            // Rise from below the stage to above it, fading in low and out high.
            const double rise = std::fmod(t * l.riseCycles + l.phase, 1.0);
            const double y = kHeight + 90 - rise * (kHeight + 180);
            const double x = l.x + l.sway * std::sin(kTau * (t * l.swayCycles + l.phase));
            const double flicker = 1 + 0.05 * std::sin(kTau * (t * 7 + l.phase));
            const double fade = smoothstep(0, 0.15, rise) * (1 - smoothstep(0.55, 1, rise));
            place(l.shape, {x, y, l.scale * flicker, l.scale * flicker, 0},
                  SwfColourTransform::fade(0.9 * fade));
        }

        for (const Ring& ring : rings) {
            const double step = 360.0 / ring.petals;
            const double turn = ring.turnsPerLoop * step * t;
            const double breathe = 1 + 0.05 * std::sin(kTau * t + ring.breathePhase);
            const double open = 1 + 0.1 * std::sin(kTau * t * 2 + ring.breathePhase);
            for (int i = 0; i < ring.petals; ++i) {
                const double angle = turn + i * step;
                // A shimmer that travels round the ring; it follows the angle, not the petal,
                // so the loop closes where every petal has taken its neighbour's place.
                const double shimmer = 0.78 + 0.22 * std::sin(angle * kPi / 180 * 2 - kTau * t * 2);
                place(ring.shape, {kCentre.x, kCentre.y, breathe * open, breathe, angle},
                      SwfColourTransform::fade(shimmer));
            }
        }

        const double pulse = 1 + 0.08 * std::sin(kTau * t * 4);
        place(heart, {kCentre.x, kCentre.y, 0.9 * pulse, 0.9 * pulse, 0});

        movie.frames.push_back(std::move(frame));
    }
    return movie;
}

}  // namespace velluma
