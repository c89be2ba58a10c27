#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "formats/ErrnoText.h"
#include "platform/FileTools.h"

namespace velluma {
namespace {

constexpr std::string_view kTempMarker = ".velluma-tmp-";

[[noreturn]] void fail(const std::string& path, const char* what, int err) {
    throw std::runtime_error("Cannot write \"" + path + "\": " + what + " (" + errnoText(err) +
                             ")");
}

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view contents) {
    const std::string folder = folderOf(path);
    const std::string temp = tempPathBeside(path, kTempMarker);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) fail(path, "cannot create a temporary file", errno);

    auto abandon = [&](const char* what) {
        int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        fail(path, what, err);
    };
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon("write failed");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) abandon("flush failed");
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail(path, "close failed", err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail(path, "rename failed", err);
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);  // EINVAL on some file systems: the rename stands regardless
        ::close(dir);
    }
}

void removeStaleTempFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name.size() > 1 && name[0] == '.' && name.find(kTempMarker) != std::string_view::npos)
            ::unlink((folder + "/" + std::string(name)).c_str());
    }
    ::closedir(dir);
}

}  // namespace velluma
