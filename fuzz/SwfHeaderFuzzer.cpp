// The Flash movie header reader of the builder preview on any bytes: from memory and from a
// file it gives the same answer, and what it accepts makes sense.
#include <cmath>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "formats/SwfHeader.h"

namespace {

std::optional<velluma::SwfHeader> parsed(std::string_view bytes) {
    try {
        return velluma::ParseSwfHeader(bytes);
    } catch (const velluma::SwfError&) {
        return std::nullopt;
    }
}

bool sameHeader(const velluma::SwfHeader& a, const velluma::SwfHeader& b) {
    if (a.compression != b.compression || a.version != b.version || a.fileLength != b.fileLength ||
        a.stage.has_value() != b.stage.has_value())
        return false;
    if (!a.stage) return true;
    const velluma::SwfStage& x = *a.stage;
    const velluma::SwfStage& y = *b.stage;
    return x.xMin == y.xMin && x.xMax == y.xMax && x.yMin == y.yMin && x.yMax == y.yMax &&
           x.frameRate == y.frameRate && x.frameCount == y.frameCount &&
           x.background == y.background;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const std::optional<SwfHeader> header = parsed(bytes);
    if (header) {
        FUZZ_CHECK(header->version >= 0 && header->version <= 255);
        FUZZ_CHECK(header->stage.has_value() == (header->compression != SwfCompression::Lzma));
        if (header->stage) {
            FUZZ_CHECK(header->stage->widthPixels() >= 0 && header->stage->heightPixels() >= 0);
            FUZZ_CHECK(std::isfinite(header->stage->frameRate));
            FUZZ_CHECK(header->stage->background.value_or(0) <= 0xFFFFFFu);
        }
    }

    const std::string path = fuzz::writeScratchFile("fuzz.swf", bytes);
    std::optional<SwfHeader> fromFile;
    try {
        fromFile = ReadSwfHeader(path);
    } catch (const SwfError&) {
    }
    FUZZ_CHECK(header.has_value() == fromFile.has_value());
    if (header) FUZZ_CHECK(sameHeader(*header, *fromFile));
    return 0;
}
