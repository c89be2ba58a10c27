#include "formats/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "formats/ErrnoText.h"

namespace velluma {
namespace {

[[noreturn]] void failRead(const std::string& path, const std::string& cause) {
    throw std::runtime_error("Cannot read \"" + path + "\": " + cause);
}

}  // namespace

FileHandle::~FileHandle() {
    if (m_fd >= 0) ::close(m_fd);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

std::string RegularFile::whyNot() const {
    return irregular ? std::string("not a regular file") : errnoText(error);
}

RegularFile OpenRegularFileNoThrow(const std::string& path) {
    RegularFile file;
    // O_NONBLOCK: a fifo opens at once instead of waiting for a writer; it is refused below.
    FileHandle handle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (handle.get() < 0 || ::fstat(handle.get(), &st) != 0) {
        file.error = errno;
        return file;
    }
    if (!S_ISREG(st.st_mode)) {
        file.irregular = true;
        return file;
    }
    const int flags = ::fcntl(handle.get(), F_GETFL);
    if (flags >= 0) ::fcntl(handle.get(), F_SETFL, flags & ~O_NONBLOCK);
    file.size = static_cast<std::uint64_t>(st.st_size);
    file.handle = std::move(handle);
    return file;
}

FileHandle OpenRegularFile(const std::string& path, std::uint64_t& size) {
    RegularFile file = OpenRegularFileNoThrow(path);
    if (!file.ok()) failRead(path, file.whyNot());
    size = file.size;
    return std::move(file.handle);
}

std::string ReadFileBytes(const std::string& path, std::size_t maxBytes) {
    std::uint64_t size = 0;
    const FileHandle file = OpenRegularFile(path, size);
    if (size > maxBytes) failRead(path, "the file is too large");
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            failRead(path, errnoText(errno));
        }
        if (n == 0) break;  // shrank while we read: take what is there
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    // A file that grew while we read is taken as it was when opened.
    return bytes;
}

bool readWholeFile(const std::string& path, std::string& contents, std::size_t maxBytes) {
    try {
        contents = ReadFileBytes(path, maxBytes);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

void ReadAt(int fd, const std::string& path, std::uint64_t offset, void* buffer, std::size_t size) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            failRead(path, errnoText(errno));
        }
        if (n == 0) failRead(path, "the file ends early");
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace velluma
