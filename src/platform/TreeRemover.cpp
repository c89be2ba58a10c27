#include "platform/TreeRemover.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <unordered_set>
#include <vector>

namespace velluma {

namespace {

// Folders nearer the top than this many levels below the current one give their listing
// back and open it again through ".." on the way up.
constexpr std::size_t kOpenLevels = 48;

struct Level {
    std::string name;  // in the folder above
    dev_t device = 0;
    ino_t inode = 0;
    DIR* listing = nullptr;                // open while near the current level
    std::unordered_set<std::string> kept;  // names that could not be removed
};

bool sameFile(int fd, dev_t device, ino_t inode) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_dev == device &&
           st.st_ino == inode;
}

// A listing of the folder name in parentFd, only when it still is the folder that was seen.
DIR* openListing(int parentFd, const char* name, dev_t device, ino_t inode) {
    const int fd =
        ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    if (!sameFile(fd, device, inode)) {
        ::close(fd);
        return nullptr;
    }
    DIR* listing = ::fdopendir(fd);
    if (!listing) ::close(fd);
    return listing;
}

bool isDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

class Removal {
public:
    Removal(int parentFd, const std::atomic<bool>* stop) : m_top(parentFd), m_stop(stop) {}
    ~Removal() {
        for (Level& level : m_levels)
            if (level.listing) ::closedir(level.listing);
    }
    Removal(const Removal&) = delete;
    Removal& operator=(const Removal&) = delete;

    bool run(const std::string& name) {
        struct stat st {};
        if (::fstatat(m_top, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
        if (!S_ISDIR(st.st_mode)) return unlinkIn(m_top, name.c_str());
        if (!descend(m_top, name, st)) return false;
        while (!m_levels.empty()) {
            const std::optional<std::string> folder = nextFolder();
            if (stopped()) return false;
            if (folder) {
                if (!descend(::dirfd(m_levels.back().listing), *folder, m_seen))
                    m_levels.back().kept.insert(*folder);
            } else if (!ascend()) {
                return false;
            }
        }
        return m_whole;
    }

private:
    bool stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    bool unlinkIn(int fd, const char* name) {
        if (::unlinkat(fd, name, 0) == 0 || errno == ENOENT) return true;
        m_whole = false;
        return false;
    }

    // Removes every other entry of the current folder on the way; the next folder inside
    // it, or none when the listing is done.
    std::optional<std::string> nextFolder() {
        Level& level = m_levels.back();
        const int fd = ::dirfd(level.listing);
        while (const dirent* entry = ::readdir(level.listing)) {
            if (isDot(entry->d_name) || level.kept.count(entry->d_name)) continue;
            if (stopped()) break;
            if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) {
                if (!unlinkIn(fd, entry->d_name)) level.kept.insert(entry->d_name);
                continue;
            }
            if (::fstatat(fd, entry->d_name, &m_seen, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISDIR(m_seen.st_mode)) return std::string(entry->d_name);
            if (!unlinkIn(fd, entry->d_name)) level.kept.insert(entry->d_name);
        }
        return std::nullopt;
    }

    bool descend(int parentFd, const std::string& name, const struct stat& seen) {
        DIR* listing = openListing(parentFd, name.c_str(), seen.st_dev, seen.st_ino);
        if (!listing) {
            m_whole = false;
            return false;
        }
        m_levels.push_back({name, seen.st_dev, seen.st_ino, listing, {}});
        if (m_levels.size() - m_firstOpen > kOpenLevels) {
            ::closedir(m_levels[m_firstOpen].listing);
            m_levels[m_firstOpen++].listing = nullptr;
        }
        return true;
    }

    // The current folder is empty, or holds only what could not go: it goes, and the folder
    // above becomes the current one. False when the way up is no longer the way down.
    bool ascend() {
        Level done = std::move(m_levels.back());
        m_levels.pop_back();
        int parentFd = m_top;
        if (!m_levels.empty()) {
            Level& parent = m_levels.back();
            if (!parent.listing) {
                const int up = ::openat(::dirfd(done.listing), "..",
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (up >= 0 && sameFile(up, parent.device, parent.inode))
                    parent.listing = ::fdopendir(up);
                else if (up >= 0)
                    ::close(up);
                if (!parent.listing) {
                    ::closedir(done.listing);
                    return false;
                }
                m_firstOpen = m_levels.size() - 1;
            }
            parentFd = ::dirfd(parent.listing);
        }
        ::closedir(done.listing);
        if (::unlinkat(parentFd, done.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
            m_whole = false;
            if (!m_levels.empty()) m_levels.back().kept.insert(done.name);
        }
        return true;
    }

    int m_top;
    const std::atomic<bool>* m_stop;
    std::vector<Level> m_levels;
    std::size_t m_firstOpen = 0;
    struct stat m_seen {};
    bool m_whole = true;
};

}  // namespace

bool removeTreeAt(int parentFd, const std::string& name, const std::atomic<bool>* stop) {
    return Removal(parentFd, stop).run(name);
}

}  // namespace velluma
