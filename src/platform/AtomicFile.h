#pragma once

#include <string>
#include <string_view>

namespace velluma {

/// Replaces the file at path with contents so that a crash or a full disk leaves either the
/// old or the new file whole: temp file in the same folder, checked writes, fsync, rename,
/// folder fsync. Throws std::runtime_error naming the file and the cause; the old file is
/// then untouched and no temp file remains.
void writeFileAtomically(const std::string& path, std::string_view contents);

/// Removes temp files left by an interrupted writeFileAtomically in folder.
void removeStaleTempFiles(const std::string& folder);

}  // namespace velluma
