#pragma once

#include <string>
#include <string_view>

namespace velluma {

/// Why an archive entry name cannot be unpacked safely, or "" when it can. A safe name is
/// a relative path of non-empty components joined by "/" (a folder entry ends with one
/// "/"), without "." or "..", backslashes, a drive prefix or control characters, so it
/// always stays inside the folder it is unpacked to.
std::string unsafeEntryNameReason(std::string_view name);

}  // namespace velluma
