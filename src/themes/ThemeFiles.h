#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velluma {

/// A folder made by CreateNumberedFolder.
struct NumberedFolder {
    std::uint32_t number = 0;
    std::string path;  // parent + "/" + number
};

/// Creates parent + "/" + first as a new folder, or, when that name is taken, the next
/// free number after it (unsigned 32-bit, wrapping), so two callers within the same
/// millisecond still get folders of their own. Creates parent when missing. Throws
/// std::runtime_error when no folder can be made.
NumberedFolder CreateNumberedFolder(const std::string& parent, std::uint32_t first);

/// Copies source over target, with its last-write time, so that a failure leaves the old
/// target whole (temp file beside it, flush, rename). Throws std::runtime_error.
void CopyFileReplacing(const std::string& source, const std::string& target);

/// Copies source, with its last-write time, to a new file at target or, when that name is
/// taken, at the first free one of "name (2).ext", "name (3).ext", ...; no file is ever
/// replaced. Returns the path written. Throws std::runtime_error.
std::string CopyFileToFreeName(const std::string& source, const std::string& target);

/// Removes a folder that a failed step left empty; anything else stays.
void RemoveIfEmpty(const std::string& folder);

/// Renames from to to unless to exists. Returns false when nothing was renamed.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

/// True when name ends in extension, compared without regard to case (extension
/// includes its dot).
bool HasExtension(std::string_view name, std::string_view extension);

/// One name in a folder.
struct FolderEntry {
    std::string name;
    bool plainFolder = false;  // a folder, not a link to one
};

/// The names in a folder in the order the file system returns them, without "." and "..";
/// an unreadable folder gives none.
std::vector<FolderEntry> FolderEntries(const std::string& folder);

}  // namespace velluma
