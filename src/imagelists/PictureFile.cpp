#include "imagelists/PictureFile.h"

#include "formats/BmpCodec.h"
#include "formats/JpegSource.h"
#include "imagelists/FileAccess.h"

namespace velluma {

PictureFormat PictureFormatOf(std::string_view path) {
    const std::string ext = UpperExtension(path);
    return (ext == ".JPG" || ext == ".JPEG") ? PictureFormat::Jpeg : PictureFormat::Bitmap;
}

std::unique_ptr<PictureSource> OpenPicture(const std::string& path) {
    if (PictureFormatOf(path) == PictureFormat::Jpeg) return JpegSource::openFile(path);
    return BmpSource::openFile(path);
}

PictureSize MeasurePicture(const std::string& path) {
    if (PictureFormatOf(path) == PictureFormat::Jpeg) return JpegSource::measureFile(path);
    const auto source = BmpSource::openFile(path);
    for (int y = 0; y < source->height(); ++y) source->readRow(nullptr);
    return {source->width(), source->height()};
}

RgbImage DecodePicture(const std::string& path) {
    return ReadAllRows(*OpenPicture(path));
}

}  // namespace velluma
