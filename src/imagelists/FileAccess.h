#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/RegularFile.h"

namespace velluma {

/// Renames from to to unless to exists, atomically. Returns 0 or the errno of the failure
/// (EEXIST when to exists).
int MoveWithoutReplacing(const std::string& from, const std::string& to);

/// Replaces a file crash-safely with contents written piece by piece, at any offsets: a
/// temp file beside it (named so that removeStaleTempFiles finds it), checked writes,
/// fsync, rename, folder fsync. Write-back starts while the pieces arrive, so the final
/// flush has little left to wait for. Dropped without commit(), it removes the temp file
/// and leaves the old file untouched.
class FileReplacement final {
public:
    /// Creates the temp file; throws std::runtime_error naming path.
    explicit FileReplacement(const std::string& path);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    /// Writes size bytes at offset; throws std::runtime_error naming the file.
    void writeAt(std::uint64_t offset, const void* data, std::size_t size);
    /// Makes the new contents durable and puts them in place; throws std::runtime_error.
    void commit();

private:
    [[noreturn]] void fail(const char* what, int err);

    std::string m_path;
    std::string m_temp;
    FileHandle m_file;
    std::uint64_t m_unflushed = 0;
    bool m_committed = false;
};

/// One name in a folder.
struct FolderItem {
    std::string name;
    bool plainFolder = false;  // a folder that is not a link, not hidden, owner-writable
    bool regularFile = false;  // a regular file, links followed
};

/// The names in a folder, sorted bytewise, without "." and ".."; an unreadable folder gives
/// none.
std::vector<FolderItem> ListFolder(const std::string& folder);

/// True when name ends in extension, letter case ignored (ASCII).
bool EndsWithNoCase(std::string_view name, std::string_view extension);

/// The extension of a path's file name in upper case, with its dot ("" when none).
std::string UpperExtension(std::string_view path);

}  // namespace velluma
