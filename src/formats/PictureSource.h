#pragma once

#include <cstdint>
#include <vector>

namespace velluma {

/// Pictures larger than this on either side, or in all, are refused before anything is
/// allocated for them (a whole decoded picture of the largest size takes 384 MiB).
inline constexpr int kMaxPictureSide = 65535;
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t(1) << 27;

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

/// A decoded picture: rows top to bottom, three bytes (red, green, blue) per pixel, no
/// padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    const std::uint8_t* rowData(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    }
    std::uint8_t* rowData(int y) {
        return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    }
};

/// A picture read one row at a time, top to bottom, so that a caller that needs only some
/// rows never holds the whole decoded picture.
class PictureSource {
public:
    virtual ~PictureSource() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    /// Decodes the next row into rgb (3 x width bytes: red, green, blue); a null rgb
    /// passes over the row. Throws std::runtime_error naming the picture when it is
    /// damaged.
    virtual void readRow(std::uint8_t* rgb) = 0;
};

/// Throws std::runtime_error (what + the reason) unless width x height is a size the
/// decoders accept.
void CheckPictureSize(std::int64_t width, std::int64_t height, const char* what);

/// Reads every remaining row of source into memory.
RgbImage ReadAllRows(PictureSource& source);

/// The rows of a picture in memory (which must outlive the source).
class ImageSource final : public PictureSource {
public:
    explicit ImageSource(const RgbImage& image) : m_image(image) {}
    int width() const override { return m_image.width; }
    int height() const override { return m_image.height; }
    void readRow(std::uint8_t* rgb) override;

private:
    const RgbImage& m_image;
    int m_next = 0;
};

}  // namespace velluma
