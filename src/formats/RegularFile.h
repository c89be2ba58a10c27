#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velluma {

/// An open file descriptor, closed at the end of its owner's scope.
class FileHandle final {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : m_fd(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return m_fd; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd = -1;
};

/// The outcome of opening a file for reading: a handle, or why there is none.
struct RegularFile {
    FileHandle handle;
    std::uint64_t size = 0;
    int error = 0;           // errno of a failed open, 0 otherwise
    bool irregular = false;  // it exists but is a fifo, device, socket or folder

    bool ok() const { return handle.get() >= 0; }
    /// Why it could not be opened ("not a regular file", or the system's text).
    std::string whyNot() const;
};

/// Opens path (links followed) for reading, without ever waiting: a fifo would hold open()
/// until a writer came, and neither a signal's handler nor the user could end the wait; a
/// device could stream forever. Anything but a regular file is refused. The handle reads
/// in blocking mode.
RegularFile OpenRegularFileNoThrow(const std::string& path);

/// OpenRegularFileNoThrow that throws std::runtime_error naming the file and the cause;
/// size receives the file's size.
FileHandle OpenRegularFile(const std::string& path, std::uint64_t& size);

/// Reads a whole regular file of at most maxBytes. Throws std::runtime_error naming the
/// file and the cause.
std::string ReadFileBytes(const std::string& path, std::size_t maxBytes);

/// ReadFileBytes without the exception: false when the file cannot be opened or read, is
/// no regular file, or is larger than maxBytes.
bool readWholeFile(const std::string& path, std::string& contents,
                   std::size_t maxBytes = std::size_t(64) << 20);

/// Reads exactly size bytes at offset; throws std::runtime_error naming path when the
/// file ends early or the read fails.
void ReadAt(int fd, const std::string& path, std::uint64_t offset, void* buffer, std::size_t size);

}  // namespace velluma
