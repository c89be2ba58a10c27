#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velluma {

/// A file that is not a Flash movie, or whose beginning is damaged; the text says why.
class SwfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// How the body of a movie after its first eight bytes is stored.
enum class SwfCompression { None, Zlib, Lzma };

/// The movie's stage, from the part of the header that follows the first eight bytes.
struct SwfStage {
    // The frame rectangle in twips (1/20 pixel).
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double frameRate = 0;  // frames per second
    std::uint16_t frameCount = 0;
    /// The background colour (0xRRGGBB) the first frame sets, when it sets one.
    std::optional<std::uint32_t> background;

    double widthPixels() const { return (static_cast<double>(xMax) - xMin) / 20.0; }
    double heightPixels() const { return (static_cast<double>(yMax) - yMin) / 20.0; }
};

/// What the beginning of a Flash movie tells about it.
struct SwfHeader {
    SwfCompression compression = SwfCompression::None;
    int version = 0;
    std::uint32_t fileLength = 0;  // declared, uncompressed
    /// Missing for LZMA movies, whose body this reader does not unpack.
    std::optional<SwfStage> stage;
};

/// At most this much of a movie is read or unpacked to find its header and the first
/// frame's background colour.
inline constexpr std::size_t kSwfInspectBytes = std::size_t(1) << 20;

/// Reads the header from the beginning of a movie (the whole file is not needed). Throws
/// SwfError when the bytes are not a movie or end inside the header.
SwfHeader ParseSwfHeader(std::string_view bytes);

/// Reads the header of the movie file at path, reading no more than kSwfInspectBytes and
/// nothing but regular files. Throws SwfError naming the file.
SwfHeader ReadSwfHeader(const std::string& path);

}  // namespace velluma
