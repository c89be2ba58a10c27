#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "formats/PictureSource.h"

namespace velluma {

enum class PictureFormat { Bitmap, Jpeg };

/// ".JPG" and ".JPEG" in any letter case are JPEG pictures; everything else is read as a
/// Windows bitmap.
PictureFormat PictureFormatOf(std::string_view path);

/// Opens a picture by its extension (PictureFormatOf). Throws std::runtime_error naming
/// the file.
std::unique_ptr<PictureSource> OpenPicture(const std::string& path);

/// Reads the whole picture, keeping no more than a row, and gives its size: a picture
/// that measures is one the wallpaper setter can show (every byte decoding reads has been
/// read). Throws std::runtime_error.
PictureSize MeasurePicture(const std::string& path);

/// Decodes the whole picture at full size (for a preview).
RgbImage DecodePicture(const std::string& path);

}  // namespace velluma
