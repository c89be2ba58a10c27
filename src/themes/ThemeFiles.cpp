#include "themes/ThemeFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "formats/ErrnoText.h"
#include "formats/RegularFile.h"
#include "platform/FileTools.h"

namespace velluma {
namespace {

[[noreturn]] void fail(const std::string& what, int err) {
    throw std::runtime_error(what + " (" + errnoText(err) + ")");
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

NumberedFolder CreateNumberedFolder(const std::string& parent, std::uint32_t first) {
    std::error_code ec;
    std::filesystem::create_directories(parent, ec);
    // Enough tries for any burst of work in one millisecond; a full range means something
    // else is wrong.
    constexpr std::uint32_t kTries = 100000;
    std::uint32_t number = first;
    for (std::uint32_t i = 0; i < kTries; ++i, ++number) {
        std::string path = parent + "/" + std::to_string(number);
        if (::mkdir(path.c_str(), 0755) == 0) return {number, std::move(path)};
        if (errno != EEXIST) fail("Cannot create the folder \"" + path + "\"", errno);
    }
    throw std::runtime_error("Cannot create a new folder in \"" + parent + "\"");
}

void CopyFileReplacing(const std::string& source, const std::string& target) {
    const RegularFile input = OpenRegularFileNoThrow(source);
    if (!input.ok())
        throw std::runtime_error("Cannot read \"" + source + "\" (" + input.whyNot() + ")");
    const int in = input.handle.get();
    const std::string temp = tempPathBeside(target, ".velluma-tmp-");
    const int out =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) fail("Cannot write \"" + target + "\"", errno);
    auto abandon = [&](const std::string& what) {
        const int err = errno;
        ::close(out);
        ::unlink(temp.c_str());
        fail(what, err);
    };
    std::vector<char> buffer(std::size_t(256) << 10);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon("Cannot read \"" + source + "\"");
        }
        if (n == 0) break;
        const char* data = buffer.data();
        std::size_t left = static_cast<std::size_t>(n);
        while (left > 0) {
            const ssize_t w = ::write(out, data, left);
            if (w < 0) {
                if (errno == EINTR) continue;
                abandon("Cannot write \"" + target + "\"");
            }
            data += w;
            left -= static_cast<std::size_t>(w);
        }
    }
    // The copy keeps the package's last-write time: the library shows it as the date.
    struct stat st {};
    if (::fstat(in, &st) == 0) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    if (::fsync(out) != 0) abandon("Cannot write \"" + target + "\"");
    if (::close(out) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        fail("Cannot write \"" + target + "\"", err);
    }
    const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);  // EINVAL on some file systems: the rename stands regardless
        ::close(dir);
    }
}

std::string CopyFileToFreeName(const std::string& source, const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string name(FileNameOf(target));
    const std::size_t dot = name.find_last_of('.');
    const std::string base = folder + "/" + name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    // Written whole under a hidden name first: a name is taken only by a complete copy.
    const std::string temp = tempPathBeside(target, ".velluma-copy-");
    CopyFileReplacing(source, temp);
    constexpr int kTries = 1000;
    for (int n = 1; n <= kTries; ++n) {
        std::string candidate = n == 1 ? target : base + " (" + std::to_string(n) + ")" + extension;
        if (RenameWithoutReplacing(temp, candidate)) return candidate;
        if (errno != EEXIST) break;
    }
    const int err = errno;
    ::unlink(temp.c_str());
    fail("Cannot write \"" + target + "\"", err);
}

void RemoveIfEmpty(const std::string& folder) {
    ::rmdir(folder.c_str());  // fails, as wanted, when anything is inside
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the flag: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool HasExtension(std::string_view name, std::string_view extension) {
    if (name.size() < extension.size()) return false;
    const std::string_view tail = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (lower(tail[i]) != lower(extension[i])) return false;
    return true;
}

std::vector<FolderEntry> FolderEntries(const std::string& folder) {
    std::vector<FolderEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool plainFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {  // some file systems do not tell: ask
            struct stat st {};
            plainFolder =
                ::lstat((folder + "/" + entry->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back({std::string(name), plainFolder});
    }
    ::closedir(dir);
    return entries;
}

}  // namespace velluma
