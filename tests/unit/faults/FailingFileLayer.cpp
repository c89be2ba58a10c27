#include "FailingFileLayer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/FileTools.h"

namespace velluma::test {
namespace {

struct Armed {
    std::string folder;
    FileStep step;
    int error;
    int passFirst;
    int hits = 0;
};
Armed* g_armed = nullptr;

std::string pathOfFd(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

std::string canonicalFolder(const std::string& folder) {
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(folder, ec);
    return ec ? folder : canonical.string();
}

std::string pathAt(int dirfd, const char* path) {
    if (path[0] == '/' || dirfd == AT_FDCWD) return path;
    return pathOfFd(dirfd) + "/" + path;
}

// True when the call must fail (errno set); ends the process for kKillProcess.
bool strikes(FileStep step, const std::string& path) {
    Armed* armed = g_armed;
    if (!armed || armed->step != step || canonicalFolder(folderOf(path)) != armed->folder)
        return false;
    if (armed->passFirst > 0) {
        --armed->passFirst;
        return false;
    }
    ++armed->hits;
    if (armed->error == kKillProcess) std::raise(SIGKILL);
    errno = armed->error;
    return true;
}

bool strikesFd(FileStep step, int fd) {
    return g_armed && g_armed->step == step && strikes(step, pathOfFd(fd));
}

}  // namespace

FileFault::FileFault(const std::string& folder, FileStep step, int error, int passFirst) {
    if (g_armed) throw std::logic_error("one file fault at a time");
    // Descriptors name their files by canonical path.
    g_armed = new Armed{canonicalFolder(folder), step, error, passFirst};
}

FileFault::~FileFault() {
    delete g_armed;
    g_armed = nullptr;
}

int FileFault::hits() const {
    return g_armed->hits;
}

std::string describe(FileStep step, int error) {
    static const char* const names[] = {"create", "write", "flush", "close", "rename"};
    const std::string what = names[static_cast<int>(step)];
    if (error == kKillProcess) return "killed at " + what;
    return what + " failed with " + strerrorname_np(error);
}

}  // namespace velluma::test

using velluma::test::FileStep;
using velluma::test::pathAt;
using velluma::test::strikes;
using velluma::test::strikesFd;

extern "C" {

int __real_open(const char* path, int flags, ...);
int __real_openat(int dirfd, const char* path, int flags, ...);
ssize_t __real_write(int fd, const void* data, std::size_t size);
ssize_t __real_pwrite(int fd, const void* data, std::size_t size, off_t offset);
int __real_fsync(int fd);
int __real_close(int fd);
int __real_rename(const char* from, const char* to);
int __real_renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags);

int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if ((flags & O_CREAT) && strikes(FileStep::Create, pathAt(AT_FDCWD, path))) return -1;
    return __real_open(path, flags, mode);
}

int __wrap_openat(int dirfd, const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if ((flags & O_CREAT) && strikes(FileStep::Create, pathAt(dirfd, path))) return -1;
    return __real_openat(dirfd, path, flags, mode);
}

ssize_t __wrap_write(int fd, const void* data, std::size_t size) {
    if (strikesFd(FileStep::Write, fd)) return -1;
    return __real_write(fd, data, size);
}

ssize_t __wrap_pwrite(int fd, const void* data, std::size_t size, off_t offset) {
    if (strikesFd(FileStep::Write, fd)) return -1;
    return __real_pwrite(fd, data, size, offset);
}

int __wrap_fsync(int fd) {
    if (strikesFd(FileStep::Flush, fd)) return -1;
    return __real_fsync(fd);
}

int __wrap_close(int fd) {
    if (strikesFd(FileStep::Close, fd)) {
        const int error = errno;
        __real_close(fd);
        errno = error;
        return -1;
    }
    return __real_close(fd);
}

int __wrap_rename(const char* from, const char* to) {
    if (strikes(FileStep::Rename, pathAt(AT_FDCWD, from))) return -1;
    return __real_rename(from, to);
}

int __wrap_renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (strikes(FileStep::Rename, pathAt(fromDir, from))) return -1;
    return __real_renameat2(fromDir, from, toDir, to, flags);
}

}  // extern "C"
