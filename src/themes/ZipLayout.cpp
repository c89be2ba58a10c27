#include "themes/ZipLayout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

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

// Little-endian reads; callers check the range first.
std::uint64_t le(std::string_view data, std::size_t at, int width) {
    std::uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return v;
}
std::uint16_t u16(std::string_view d, std::size_t at) {
    return static_cast<std::uint16_t>(le(d, at, 2));
}
std::uint32_t u32(std::string_view d, std::size_t at) {
    return static_cast<std::uint32_t>(le(d, at, 4));
}

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
    std::size_t end = tail.size() - kEndSize;
    for (;; --end) {
        if (u32(tail, end) == kEndOfDirectory &&
            end + kEndSize + u16(tail, end + 20) <= tail.size())
            break;
        if (end == 0) return "the archive has no end of central directory";
    }
    dir.entries = u16(tail, end + 10);
    dir.size = u32(tail, end + 12);
    dir.offset = u32(tail, end + 16);
    if (dir.entries == 0xffff || dir.size == 0xffffffff || dir.offset == 0xffffffff) {
        const std::uint64_t endAt = tailStart + end;
        std::string locator;
        if (endAt < kZip64LocatorSize ||
            !archive.read(endAt - kZip64LocatorSize, kZip64LocatorSize, locator) ||
            u32(locator, 0) != kZip64Locator)
            return "the archive's ZIP64 directory locator is missing";
        std::string record;
        if (!archive.read(le(locator, 8, 8), kZip64EndSize, record) ||
            u32(record, 0) != kZip64EndOfDirectory)
            return "the archive's ZIP64 directory end is damaged";
        dir.entries = le(record, 32, 8);
        dir.size = le(record, 40, 8);
        dir.offset = le(record, 48, 8);
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
    const std::string_view d = directory;

    std::vector<Span> spans;
    spans.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(dir.entries, 1u << 20)));
    std::size_t at = 0;
    std::string local;
    for (std::uint64_t i = 0; i < dir.entries; ++i) {
        if (d.size() - at < kCentralSize || u32(d, at) != kCentralHeader)
            return "the central directory is damaged";
        std::uint64_t compressed = u32(d, at + 20);
        std::uint64_t uncompressed = u32(d, at + 24);
        const std::size_t nameLength = u16(d, at + 28);
        const std::size_t extraLength = u16(d, at + 30);
        const std::size_t commentLength = u16(d, at + 32);
        std::uint64_t disk = u16(d, at + 34);
        std::uint64_t offset = u32(d, at + 42);
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
                const std::uint16_t id = u16(d, extra);
                const std::size_t length = u16(d, extra + 2);
                if (extra + 4 + length > extraEnd) break;
                if (id == 0x0001) {
                    std::size_t field = extra + 4;
                    const std::size_t fieldEnd = field + length;
                    auto take = [&](bool needed, std::uint64_t& value, int width) {
                        if (!needed) return true;
                        if (field + static_cast<std::size_t>(width) > fieldEnd) return false;
                        value = le(d, field, width);
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

        if (!archive.read(offset, kLocalSize, local) || u32(local, 0) != kLocalHeader)
            return "an entry's local header is missing";
        const std::uint64_t dataBegin =
            offset + kLocalSize + u16(local, 26) + std::uint64_t{u16(local, 28)};
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
