#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velluma {

/// A ZIP archive that cannot be read, written or safely unpacked; the text names the
/// archive and the cause.
class ZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Called between steps of long archive work so the interface stays responsive.
using ProgressHook = std::function<void()>;

/// What a hostile archive may cost when it is unpacked.
struct ExtractLimits {
    std::uint64_t maxTotalBytes = std::uint64_t(2) << 30;  // all entries together
    std::uint64_t maxEntryBytes = std::uint64_t(1) << 30;  // one entry
    std::uint64_t maxEntries = 100000;
    // Deflate cannot pack better than about 1032:1; a higher declared ratio is a lie or a
    // bomb. Entries below the floor are too small to matter.
    std::uint64_t maxRatio = 1100;
    std::uint64_t ratioFloorBytes = std::uint64_t(1) << 20;
};

/// One entry of an archive, as its directory declares it.
struct ZipEntry {
    enum class Type { File, Folder, Link, Other };
    std::string name;  // UTF-8 (libzip's conversion of the stored name)
    Type type = Type::File;
    std::uint64_t size = 0;            // declared, uncompressed
    std::uint64_t compressedSize = 0;  // declared
    bool encrypted = false;
};

/// An archive opened for reading with libzip's consistency checks.
class ZipReader final {
public:
    /// Opens the archive in a file to read single entries: only its directory is read now,
    /// and each read is checked against the entry's CRC and size. Throws ZipError.
    static ZipReader openFile(const std::string& path);
    /// Opens the archive in a file to unpack it, with libzip's full consistency check
    /// (every local header against the directory). The file stays open for the reader's
    /// life, so a package deleted or replaced meanwhile is still read whole. Throws ZipError.
    static ZipReader openForExtraction(const std::string& path);
    /// Opens an archive held in memory, as openForExtraction does; label names it in error
    /// texts. Throws ZipError.
    static ZipReader openMemory(std::string bytes, const std::string& label);

    ZipReader(ZipReader&&) noexcept;
    ZipReader& operator=(ZipReader&&) noexcept;
    ~ZipReader();

    /// Every entry, in directory order.
    const std::vector<ZipEntry>& entries() const;
    /// The index of a file entry: an exact name match first, else one that differs only in
    /// letter case (packages made on Windows); nothing when there is none.
    std::optional<std::size_t> findFile(const std::string& name) const;
    /// The whole content of an entry, checked against its CRC. Throws ZipError, also when
    /// the entry holds more than maxBytes.
    std::string read(std::size_t index, std::uint64_t maxBytes) const;
    /// Unpacks every entry into folder, which must exist and be empty, recreating stored
    /// folders; progress runs between entries, about every 2 MiB of work. Every name, type and size
    /// is checked before anything is written; an archive that fails a check is refused whole
    /// (ZipError) and nothing lands outside folder. The layout of the entries is checked too, so
    /// only readers opened for extraction or in memory can unpack.
    void extractAll(const std::string& folder, const ExtractLimits& limits = {},
                    const ProgressHook& progress = {}) const;

private:
    struct State;
    explicit ZipReader(std::unique_ptr<State> state);
    static ZipReader open(std::unique_ptr<State> state, const std::string& label);
    std::unique_ptr<State> m_state;
};

/// One entry of an archive to write: the content of a file, or bytes.
struct ZipInput {
    std::string name;
    std::string filePath;  // used when bytes is empty
    std::optional<std::string> bytes;

    static ZipInput file(std::string name, std::string path) {
        return {std::move(name), std::move(path), std::nullopt};
    }
    static ZipInput data(std::string name, std::string content) {
        return {std::move(name), {}, std::move(content)};
    }
};

/// Writes a new archive holding inputs, in order, each compressed with Deflate at level 6,
/// and makes it the file at path only once it is complete (temp file beside it, flush,
/// rename). Throws ZipError; the file at path is then untouched and no temp file remains.
void writeZipArchive(const std::string& path, const std::vector<ZipInput>& inputs,
                     const ProgressHook& progress = {});

}  // namespace velluma
