#pragma once

#include <string>

namespace velluma {

/// Why a picture cannot go into an image list.
enum class PictureRefusal {
    None,         // it can
    Name,         // its path cannot be written as one list line
    CannotOpen,   // missing, not a regular file, or not readable
    NotAPicture,  // opens, but does not decode whole as a BMP or JPEG picture
};

/// A picture measured for a list: its list line, or why it has none.
struct AdmittedPicture {
    std::string line;  // path + "?" + width + "*" + height; empty when refused
    PictureRefusal refusal = PictureRefusal::None;
};

/// Measures a picture for a list line. A picture that cannot be listed is answered, not
/// thrown, so a caller can tell the user which one and why.
AdmittedPicture AdmitPicture(const std::string& path);

}  // namespace velluma
