#include "formats/ZipLayout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "formats/ByteReader.h"

namespace velluma {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64EndOfDirectory = 0x06064b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
// A directory beyond this is no theme package's (and is not read into memory).
constexpr std::uint64_t kMaxDirectoryBytes = std::uint64_t(64) << 20;

struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

std::string findDirectory(const ArchiveBytes& archive, Directory& dir) {
    const std::uint64_t size = archive.size();
    if (size < kEndSize) return "the archive is too short";
    // The end record sits within the last 64 KiB (its comment); take the last one that
    // fits its own comment length.
    const std::uint64_t tailStart = size > kEndSize + 0xffff ? size - kEndSize - 0xffff : 0;
    std::string tail;
    if (!archive.read(tailStart, static_cast<std::size_t>(size - tailStart), tail))
        return "the archive cannot be read";
    const ByteReader t(tail);
    std::size_t end = tail.size() - kEndSize;
    for (;; --end) {
        if (t.u32(end) == kEndOfDirectory && end + kEndSize + t.u16(end + 20) <= tail.size()) break;
        if (end == 0) return "the archive has no end of central directory";
    }
    dir.entries = t.u16(end + 10);
    dir.size = t.u32(end + 12);
    dir.offset = t.u32(end + 16);
    if (dir.entries == 0xffff || dir.size == 0xffffffff || dir.offset == 0xffffffff) {
        const std::uint64_t endAt = tailStart + end;
        std::string locator;
        if (endAt < kZip64LocatorSize ||
            !archive.read(endAt - kZip64LocatorSize, kZip64LocatorSize, locator) ||
            ByteReader(locator).u32(0) != kZip64Locator)
            return "the archive's ZIP64 directory locator is missing";
        std::string record;
        if (!archive.read(ByteReader(locator).u64(8), kZip64EndSize, record) ||
            ByteReader(record).u32(0) != kZip64EndOfDirectory)
            return "the archive's ZIP64 directory end is damaged";
        const ByteReader r(record);
        dir.entries = r.u64(32);
        dir.size = r.u64(40);
        dir.offset = r.u64(48);
    }
    if (dir.offset > size || dir.size > size - dir.offset)
        return "the central directory lies outside the archive";
    if (dir.size > kMaxDirectoryBytes) return "the central directory is too large";
    return {};
}

struct Span {
    std::uint64_t begin;
    std::uint64_t end;
};

class MemoryBytes final : public ArchiveBytes {
public:
    explicit MemoryBytes(std::string_view data) : m_data(data) {}
    std::uint64_t size() const override { return m_data.size(); }
    bool read(std::uint64_t offset, std::size_t length, std::string& out) const override {
        if (offset > m_data.size() || length > m_data.size() - offset) return false;
        out.assign(m_data.substr(static_cast<std::size_t>(offset), length));
        return true;
    }

private:
    std::string_view m_data;
};

class FileBytes final : public ArchiveBytes {
public:
    explicit FileBytes(int fd) : m_fd(fd) {
        struct stat st {};
        m_size = ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    }
    std::uint64_t size() const override { return m_size; }
    bool read(std::uint64_t offset, std::size_t length, std::string& out) const override {
        if (offset > m_size || length > m_size - offset) return false;
        out.resize(length);
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(m_fd, out.data() + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_size = 0;
};

}  // namespace

std::string zipLayoutProblem(const ArchiveBytes& archive, std::uint64_t expectedEntries) {
    Directory dir;
    if (std::string problem = findDirectory(archive, dir); !problem.empty()) return problem;
    if (dir.entries != expectedEntries) return "the central directory miscounts its entries";
    std::string directory;
    if (!archive.read(dir.offset, static_cast<std::size_t>(dir.size), directory))
        return "the central directory cannot be read";
    const ByteReader d(directory);

    std::vector<Span> spans;
    spans.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(dir.entries, 1u << 20)));
    std::size_t at = 0;
    std::string local;
    for (std::uint64_t i = 0; i < dir.entries; ++i) {
        if (d.size() - at < kCentralSize || d.u32(at) != kCentralHeader)
            return "the central directory is damaged";
        std::uint64_t compressed = d.u32(at + 20);
        std::uint64_t uncompressed = d.u32(at + 24);
        const std::size_t nameLength = d.u16(at + 28);
        const std::size_t extraLength = d.u16(at + 30);
        const std::size_t commentLength = d.u16(at + 32);
        std::uint64_t disk = d.u16(at + 34);
        std::uint64_t offset = d.u32(at + 42);
        const std::size_t next = at + kCentralSize + nameLength + extraLength + commentLength;
        if (next > d.size()) return "the central directory is damaged";

        // ZIP64 sizes and offsets replace the fields that hold all ones, in this order.
        const bool needUncompressed = uncompressed == 0xffffffff;
        const bool needCompressed = compressed == 0xffffffff;
        const bool needOffset = offset == 0xffffffff;
        const bool needDisk = disk == 0xffff;
        if (needUncompressed || needCompressed || needOffset || needDisk) {
            std::size_t extra = at + kCentralSize + nameLength;
            const std::size_t extraEnd = extra + extraLength;
            bool found = false;
            while (extra + 4 <= extraEnd) {
                const std::uint16_t id = d.u16(extra);
                const std::size_t length = d.u16(extra + 2);
                if (extra + 4 + length > extraEnd) break;
                if (id == 0x0001) {
                    std::size_t field = extra + 4;
                    const std::size_t fieldEnd = field + length;
                    auto take = [&](bool needed, std::uint64_t& value, int width) {
                        if (!needed) return true;
                        if (field + static_cast<std::size_t>(width) > fieldEnd) return false;
                        value = width == 8 ? d.u64(field) : d.u32(field);
                        field += static_cast<std::size_t>(width);
                        return true;
                    };
                    found = take(needUncompressed, uncompressed, 8) &&
                            take(needCompressed, compressed, 8) && take(needOffset, offset, 8) &&
                            take(needDisk, disk, 4);
                    break;
                }
                extra += 4 + length;
            }
            if (!found) return "an entry's ZIP64 sizes are missing";
        }
        if (disk != 0) return "the archive spans several disks";

        if (!archive.read(offset, kLocalSize, local) || ByteReader(local).u32(0) != kLocalHeader)
            return "an entry's local header is missing";
        const ByteReader l(local);
        const std::uint64_t dataBegin = offset + kLocalSize + l.u16(26) + std::uint64_t{l.u16(28)};
        if (dataBegin > dir.offset || compressed > dir.offset - dataBegin)
            return "an entry's data runs into the central directory";
        spans.push_back({offset, dataBegin + compressed});
        at = next;
    }

    std::sort(spans.begin(), spans.end(),
              [](const Span& x, const Span& y) { return x.begin < y.begin; });
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].begin < spans[i - 1].end) return "entries share or overlap their data";
    return {};
}

std::string zipLayoutProblem(std::string_view archive, std::uint64_t expectedEntries) {
    return zipLayoutProblem(MemoryBytes(archive), expectedEntries);
}

std::string zipLayoutProblem(int fd, std::uint64_t expectedEntries) {
    return zipLayoutProblem(FileBytes(fd), expectedEntries);
}

}  // namespace velluma
