#include "formats/PictureSource.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace velluma {

void CheckPictureSize(std::int64_t width, std::int64_t height, const char* what) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0)
        throw std::runtime_error(std::string(what) + "it has no pixels (" + size + ")");
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPicturePixels)
        throw std::runtime_error(std::string(what) + "it is too large (" + size + " pixels)");
}

RgbImage ReadAllRows(PictureSource& source) {
    RgbImage image;
    image.width = source.width();
    image.height = source.height();
    CheckPictureSize(image.width, image.height, "The picture cannot be read: ");
    image.pixels.resize(static_cast<std::size_t>(image.width) *
                        static_cast<std::size_t>(image.height) * 3);
    for (int y = 0; y < image.height; ++y) source.readRow(image.rowData(y));
    return image;
}

void ImageSource::readRow(std::uint8_t* rgb) {
    if (m_next >= m_image.height) throw std::runtime_error("The picture has no more rows");
    if (rgb) std::memcpy(rgb, m_image.rowData(m_next), static_cast<std::size_t>(m_image.width) * 3);
    ++m_next;
}

}  // namespace velluma
