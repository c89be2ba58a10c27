#include "platform/WorkFolderCleaner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include "platform/TreeRemover.h"

namespace velluma {

namespace {

// The root as it is, never through a link in its own place.
int openRoot(const std::string& root) {
    return ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

WorkFolderCleaner::WorkFolderCleaner(std::string root)
    : m_root(std::move(root)), m_thread([this] { work(); }) {}

WorkFolderCleaner::~WorkFolderCleaner() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool WorkFolderCleaner::isWorkFolderName(std::string_view name) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) return false;
    std::uint64_t value = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + std::uint64_t(c - '0');
    }
    return value <= UINT32_MAX;
}

std::string WorkFolderCleaner::nameOf(const std::string& path) const {
    if (path.size() <= m_root.size() + 1 || path.compare(0, m_root.size(), m_root) != 0 ||
        path[m_root.size()] != '/')
        return {};
    const std::size_t start = m_root.size() + 1;
    std::string name = path.substr(start, path.find('/', start) - start);  // npos: to the end
    return isWorkFolderName(name) ? name : std::string();
}

void WorkFolderCleaner::removeAllExcept(const std::string& keep) {
    std::deque<std::string> found;
    const int fd = openRoot(m_root);
    if (fd < 0) return;
    if (DIR* listing = ::fdopendir(fd)) {
        const std::string kept = nameOf(keep);
        while (const dirent* entry = ::readdir(listing)) {
            // Links and files are never ours; the remover checks the type again.
            if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;
            if (isWorkFolderName(entry->d_name) && entry->d_name != kept)
                found.emplace_back(entry->d_name);
        }
        ::closedir(listing);
    } else {
        ::close(fd);
    }
    {
        std::lock_guard lock(m_mutex);
        if (const std::string kept = nameOf(keep); !kept.empty()) m_kept.insert(kept);
        for (std::string& name : found) m_queue.push_back(std::move(name));
    }
    m_changed.notify_all();
}

void WorkFolderCleaner::remove(const std::string& folder) {
    std::string name = nameOf(folder);
    if (name.empty() || folder.size() != m_root.size() + 1 + name.size()) return;
    {
        std::lock_guard lock(m_mutex);
        if (m_kept.count(name)) return;
        m_queue.push_back(std::move(name));
    }
    m_changed.notify_all();
}

void WorkFolderCleaner::waitUntilDone() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void WorkFolderCleaner::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) return;
        const std::string name = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        // A folder whose type changed meanwhile (now a file or a link) is not ours to take.
        if (const int root = openRoot(m_root); root >= 0) {
            struct stat st {};
            if (::fstatat(root, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
                removeTreeAt(root, name, &m_stop);
            ::close(root);
        }
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

}  // namespace velluma
