#pragma once

#include <string>

namespace velluma::bench {

/// Writes a photograph-like JPEG: broad gradients with fine grain, so that the entropy data
/// is about as dense as a camera's at quality 90 (some 11 MB for 24 megapixels); baseline,
/// or progressive in libjpeg's usual 10 scans.
void WritePhoto(const std::string& path, int width, int height, bool progressive = false);

}  // namespace velluma::bench
