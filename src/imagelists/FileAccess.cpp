#include "imagelists/FileAccess.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "formats/ErrnoText.h"
#include "platform/FileTools.h"

namespace velluma {
namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The marker removeStaleTempFiles looks for: ".<name>.velluma-tmp-<random>".
constexpr std::string_view kTempMarker = ".velluma-tmp-";
// Write-back is started each time this much has been written.
constexpr std::uint64_t kWriteBackStep = std::uint64_t(4) << 20;

}  // namespace

FileReplacement::FileReplacement(const std::string& path)
    : m_path(path), m_temp(tempPathBeside(path, kTempMarker)) {
    m_file = FileHandle(
        ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (m_file.get() < 0)
        throw std::runtime_error("Cannot write \"" + path + "\": cannot create a temporary file (" +
                                 errnoText(errno) + ")");
}

FileReplacement::~FileReplacement() {
    if (!m_committed) {
        m_file = FileHandle();
        ::unlink(m_temp.c_str());
    }
}

void FileReplacement::fail(const char* what, int err) {
    throw std::runtime_error("Cannot write \"" + m_path + "\": " + what + " (" + errnoText(err) +
                             ")");
}

void FileReplacement::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pwrite(m_file.get(), bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("write failed", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    m_unflushed += size;
    if (m_unflushed >= kWriteBackStep) {
        // Starts writing the dirty pages out without waiting; commit's fsync then finds
        // most of them on disk already.
        ::sync_file_range(m_file.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        m_unflushed = 0;
    }
}

void FileReplacement::commit() {
    if (::fsync(m_file.get()) != 0) fail("flush failed", errno);
    if (::close(m_file.release()) != 0) fail("close failed", errno);
    if (::rename(m_temp.c_str(), m_path.c_str()) != 0) fail("rename failed", errno);
    m_committed = true;
    const int dir = ::open(folderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);  // EINVAL on some file systems: the rename stands regardless
        ::close(dir);
    }
}

int MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    if (::unlink(from.c_str()) != 0) {
        const int err = errno;
        ::unlink(to.c_str());
        return err;
    }
    return 0;
}

std::vector<FolderItem> ListFolder(const std::string& folder) {
    std::vector<FolderItem> items;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return items;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        FolderItem item;
        item.name = std::string(name);
        const std::string full = folder + "/" + item.name;
        struct stat st {};
        if (::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            item.plainFolder = name.front() != '.' && (st.st_mode & S_IWUSR);
        item.regularFile = ::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        items.push_back(std::move(item));
    }
    ::closedir(dir);
    std::sort(items.begin(), items.end(),
              [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    return items;
}

bool EndsWithNoCase(std::string_view name, std::string_view extension) {
    if (name.size() < extension.size()) return false;
    const std::string_view tail = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (upper(tail[i]) != upper(extension[i])) return false;
    return true;
}

std::string UpperExtension(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot));
    for (char& c : ext) c = upper(c);
    return ext;
}

}  // namespace velluma
