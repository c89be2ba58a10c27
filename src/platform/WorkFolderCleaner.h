#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

namespace velluma {

/// Removes the numbered work folders of one folder (advThemes/WorkDir) on a thread of its
/// own, so that a folder of many files never holds up the window. Only plain folders with a
/// decimal name directly inside that folder are ever removed; anything else found there
/// stays, a link is removed as a link, never followed, and a root that is itself a link is
/// left alone.
class WorkFolderCleaner {
public:
    explicit WorkFolderCleaner(std::string root);
    /// Stops at the next file: what is left goes at the next start.
    ~WorkFolderCleaner();
    WorkFolderCleaner(const WorkFolderCleaner&) = delete;
    WorkFolderCleaner& operator=(const WorkFolderCleaner&) = delete;

    const std::string& root() const { return m_root; }

    /// The start of a run: every numbered folder there now goes, except the one that holds
    /// keep (any path), which stays for the whole run. The folders are listed before this
    /// returns, so a folder made later is never among them.
    void removeAllExcept(const std::string& keep);
    /// Removes folder (a path), when it is a numbered folder of the root that is not kept.
    void remove(const std::string& folder);
    /// Waits until every removal asked for so far is done (tests and benchmarks).
    void waitUntilDone();

    /// A name the program gives work folders: decimal digits, an unsigned 32-bit number.
    static bool isWorkFolderName(std::string_view name);

private:
    /// The name of the work folder that path is or lies in, else "".
    std::string nameOf(const std::string& path) const;
    void work();

    std::string m_root;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_queue;  // names inside the root
    std::set<std::string> m_kept;
    bool m_busy = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace velluma
