#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/PictureSource.h"
#include "formats/RegularFile.h"

namespace velluma {

/// Every header, colour mask and palette lies within a bitmap's first this many bytes.
inline constexpr std::size_t kBmpHeadBytes = 14 + 124 + 12 + 256 * 4;

/// Where and how a Windows bitmap keeps its pixels, checked against the file's size.
struct BmpLayout {
    int width = 0;
    int height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int bitCount = 0;                      // 1, 4, 8, 16, 24 or 32
    std::array<std::uint32_t, 3> masks{};  // red, green, blue for 16 and 32 bits
    std::array<std::uint8_t, std::size_t{256} * 3>
        palette{};  // red, green, blue; unused entries black
    std::uint64_t dataOffset = 0;
    std::uint64_t stride = 0;  // bytes per stored row, padding included
};

/// Reads and checks the headers of a bitmap: "BM"; header size 12, 40, 56, 108 or 124; one
/// plane; 1, 4, 8, 16, 24 or 32 bits; BI_RGB, or BI_BITFIELDS with 16 or 32 bits; a size
/// within the picture limits; palette and pixel data inside the file. head holds the
/// file's first kBmpHeadBytes bytes (or all of a shorter file), fileSize is the size of
/// the whole file. Throws std::runtime_error with the reason.
BmpLayout ParseBmpLayout(std::string_view head, std::uint64_t fileSize);

/// Converts one stored row (layout.stride bytes) to red, green, blue.
void DecodeBmpRow(const BmpLayout& layout, const std::uint8_t* stored, std::uint8_t* rgb);

/// The rows of a bitmap file or of bitmap bytes in memory, top to bottom whatever the
/// stored order.
class BmpSource final : public PictureSource {
public:
    /// Opens and checks a bitmap file; throws std::runtime_error naming it.
    static std::unique_ptr<BmpSource> openFile(const std::string& path);
    /// Checks bitmap bytes, which must outlive the source; throws std::runtime_error.
    static std::unique_ptr<BmpSource> fromBytes(std::string_view bytes);

    int width() const override { return m_layout.width; }
    int height() const override { return m_layout.height; }
    void readRow(std::uint8_t* rgb) override;

    const BmpLayout& layout() const { return m_layout; }

private:
    BmpSource() = default;

    BmpLayout m_layout;
    std::string m_name;
    FileHandle m_file;
    std::string_view m_bytes;
    std::vector<std::uint8_t> m_stored;
    int m_next = 0;
};

/// Reads a whole bitmap held in memory.
RgbImage DecodeBmp(std::string_view bytes);

/// The bytes of an uncompressed bottom-up 24-bit Windows bitmap (BITMAPINFOHEADER) of the
/// image.
std::string EncodeBmp24(const RgbImage& image);

/// The 54 header bytes of an uncompressed bottom-up 24-bit bitmap of width x height.
std::array<char, 54> Bmp24Header(int width, int height);
/// Bytes per stored row of a 24-bit bitmap.
inline std::size_t Bmp24Stride(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t(3);
}

}  // namespace velluma
