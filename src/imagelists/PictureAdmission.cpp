#include "imagelists/PictureAdmission.h"

#include <stdexcept>

#include "formats/RegularFile.h"
#include "imagelists/ListFile.h"
#include "imagelists/PictureFile.h"

namespace velluma {

AdmittedPicture AdmitPicture(const std::string& path) {
    AdmittedPicture result;
    if (!ListLineProblem(path).empty()) {
        result.refusal = PictureRefusal::Name;
        return result;
    }
    // Opened once on its own: the decoders' errors do not tell a missing file from a bad one.
    if (!OpenRegularFileNoThrow(path).ok()) {
        result.refusal = PictureRefusal::CannotOpen;
        return result;
    }
    try {
        const PictureSize size = MeasurePicture(path);
        result.line = path + "?" + std::to_string(size.width) + "*" + std::to_string(size.height);
    } catch (const std::exception&) {
        result.refusal = PictureRefusal::NotAPicture;
    }
    return result;
}

}  // namespace velluma
