#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velluma {

/// Random access to the bytes of an archive.
class ArchiveBytes {
public:
    virtual ~ArchiveBytes() = default;
    virtual std::uint64_t size() const = 0;
    /// Reads length bytes at offset into out; false when they are not all there.
    virtual bool read(std::uint64_t offset, std::size_t length, std::string& out) const = 0;
};

/// Checks the central directory of a ZIP archive: it must list expectedEntries entries
/// whose local headers and data lie inside the archive, before the directory, and do not
/// overlap. Entries that share or overlap their data are the shape of a known archive bomb
/// that libzip accepts. Returns why the layout is refused, or "".
std::string zipLayoutProblem(const ArchiveBytes& archive, std::uint64_t expectedEntries);
/// The same for an archive in memory.
std::string zipLayoutProblem(std::string_view archive, std::uint64_t expectedEntries);
/// The same for the archive in an open file.
std::string zipLayoutProblem(int fd, std::uint64_t expectedEntries);

}  // namespace velluma
